// Error codes of the serial engine and the exceptions they become.
//
// Inside the engine every operation that can fail returns a LONG code:
// 0 success, positive a result passed through (a count, a handle, a
// character), negative a failure. A failed system call comes back as the
// negated Windows error number (-2 .. -162 get their own treatment in
// RaiseForCode; larger ones fall through to the catch-all). Engine failures
// are -1001 and below, grouped by thousands. Nothing below the port component
// throws for a coded failure; the port component passes codes through
// RaiseForCode.
//
// Exception tree: Exception <- ESioException <- ten groups <- 160 leaves.
// Groups and leaves add nothing but their type, so a handler can catch one
// failure, a whole group, every engine failure or every framework exception.
#pragma once

#include <string>
#include <string_view>

#include "Classes.h"
#include "SysUtils.h"
#include "wintypes.h"

class ESioException : public Exception {
 public:
  // By code: Code() is the code as passed, the message is ErrorText(code).
  explicit ESioException(LONG code);
  // By message: Code() is 0.
  explicit ESioException(std::string message);
  LONG Code() const noexcept { return code_; }

 private:
  LONG code_;
};

// The groups; EProtocol is raised itself.
#define SIO_ERROR_GROUPS(X) \
  X(EGeneral)               \
  X(EOpenComm)              \
  X(ESerialIO)              \
  X(EModem)                 \
  X(ETrigger)               \
  X(EProtocol)              \
  X(EINI)                   \
  X(EFax)                   \
  X(ETapi)                  \
  X(ERas)

// Leaf classes: X(Leaf, Group).
#define SIO_ERROR_LEAVES(X)             \
  X(EBadArgument, EGeneral)             \
  X(EGotQuitMsg, EGeneral)              \
  X(EBufferTooBig, EGeneral)            \
  X(EPortNotAssigned, EGeneral)         \
  X(EInternal, EGeneral)                \
  X(EModemNotAssigned, EGeneral)        \
  X(EPhonebookNotAssigned, EGeneral)    \
  X(ECannotUseWithWinSock, EGeneral)    \
  X(EBadId, EOpenComm)                  \
  X(EBaudRate, EOpenComm)               \
  X(EByteSize, EOpenComm)               \
  X(EDefault, EOpenComm)                \
  X(EHardware, EOpenComm)               \
  X(EMemory, EOpenComm)                 \
  X(ECommNotOpen, EOpenComm)            \
  X(EAlreadyOpen, EOpenComm)            \
  X(ENoHandles, EOpenComm)              \
  X(ENoTimers, EOpenComm)               \
  X(ENoPortSelected, EOpenComm)         \
  X(ENotOpenedByTapi, EOpenComm)        \
  X(ENullApi, ESerialIO)                \
  X(ERegisterHandlerFailed, ESerialIO)  \
  X(EPutBlockFail, ESerialIO)           \
  X(EGetBlockFail, ESerialIO)           \
  X(EOutputBufferTooSmall, ESerialIO)   \
  X(EBufferIsEmpty, ESerialIO)          \
  X(ETracingNotEnabled, ESerialIO)      \
  X(ELoggingNotEnabled, ESerialIO)      \
  X(EBaseAddressNotSet, ESerialIO)      \
  X(EModemNotStarted, EModem)           \
  X(EModemBusy, EModem)                 \
  X(EModemNotDialing, EModem)           \
  X(ENotDialing, EModem)                \
  X(EAlreadyDialing, EModem)            \
  X(EModemNotResponding, EModem)        \
  X(EModemRejectedCommand, EModem)      \
  X(EModemStatusMismatch, EModem)       \
  X(ENoMoreTriggers, ETrigger)          \
  X(ETriggerTooLong, ETrigger)          \
  X(EBadTriggerHandle, ETrigger)        \
  X(EKeyTooLong, EINI)                  \
  X(EDataTooLarge, EINI)                \
  X(EIniWrite, EINI)                    \
  X(EIniRead, EINI)                     \
  X(ERecordExists, EINI)                \
  X(ERecordNotFound, EINI)              \
  X(EDatabaseFull, EINI)                \
  X(EDatabaseEmpty, EINI)               \
  X(EBadFieldList, EINI)                \
  X(EBadFieldForIndex, EINI)            \
  X(EFaxBadFormat, EFax)                \
  X(EBadGraphicsFormat, EFax)           \
  X(EConvertAbort, EFax)                \
  X(EUnpackAbort, EFax)                 \
  X(ECantMakeBitmap, EFax)              \
  X(EInvalidPageNumber, EFax)           \
  X(EFaxBadMachine, EFax)               \
  X(EFaxBadModemResult, EFax)           \
  X(EFaxTrainError, EFax)               \
  X(EFaxInitError, EFax)                \
  X(EFaxBusy, EFax)                     \
  X(EFaxVoiceCall, EFax)                \
  X(EFaxDataCall, EFax)                 \
  X(EFaxNoDialTone, EFax)               \
  X(EFaxNoCarrier, EFax)                \
  X(EFaxSessionError, EFax)             \
  X(EFaxPageError, EFax)                \
  X(ETapiAllocated, ETapi)              \
  X(ETapiBadDeviceID, ETapi)            \
  X(ETapiBearerModeUnavail, ETapi)      \
  X(ETapiCallUnavail, ETapi)            \
  X(ETapiCompletionOverrun, ETapi)      \
  X(ETapiConferenceFull, ETapi)         \
  X(ETapiDialBilling, ETapi)            \
  X(ETapiDialDialtone, ETapi)           \
  X(ETapiDialPrompt, ETapi)             \
  X(ETapiDialQuiet, ETapi)              \
  X(ETapiIncompatibleApiVersion, ETapi) \
  X(ETapiIncompatibleExtVersion, ETapi) \
  X(ETapiIniFileCorrupt, ETapi)         \
  X(ETapiInUse, ETapi)                  \
  X(ETapiInvalAddress, ETapi)           \
  X(ETapiInvalAddressID, ETapi)         \
  X(ETapiInvalAddressMode, ETapi)       \
  X(ETapiInvalAddressState, ETapi)      \
  X(ETapiInvalAppHandle, ETapi)         \
  X(ETapiInvalAppName, ETapi)           \
  X(ETapiInvalBearerMode, ETapi)        \
  X(ETapiInvalCallComplMode, ETapi)     \
  X(ETapiInvalCallHandle, ETapi)        \
  X(ETapiInvalCallParams, ETapi)        \
  X(ETapiInvalCallPrivilege, ETapi)     \
  X(ETapiInvalCallSelect, ETapi)        \
  X(ETapiInvalCallState, ETapi)         \
  X(ETapiInvalCallStatelist, ETapi)     \
  X(ETapiInvalCard, ETapi)              \
  X(ETapiInvalCompletionID, ETapi)      \
  X(ETapiInvalConfCallHandle, ETapi)    \
  X(ETapiInvalConsultCallHandle, ETapi) \
  X(ETapiInvalCountryCode, ETapi)       \
  X(ETapiInvalDeviceClass, ETapi)       \
  X(ETapiInvalDeviceHandle, ETapi)      \
  X(ETapiInvalDialParams, ETapi)        \
  X(ETapiInvalDigitList, ETapi)         \
  X(ETapiInvalDigitMode, ETapi)         \
  X(ETapiInvalDigits, ETapi)            \
  X(ETapiInvalExtVersion, ETapi)        \
  X(ETapiInvalGroupID, ETapi)           \
  X(ETapiInvalLineHandle, ETapi)        \
  X(ETapiInvalLineState, ETapi)         \
  X(ETapiInvalLocation, ETapi)          \
  X(ETapiInvalMediaList, ETapi)         \
  X(ETapiInvalMediaMode, ETapi)         \
  X(ETapiInvalMessageID, ETapi)         \
  X(ETapiInvalParam, ETapi)             \
  X(ETapiInvalParkID, ETapi)            \
  X(ETapiInvalParkMode, ETapi)          \
  X(ETapiInvalPointer, ETapi)           \
  X(ETapiInvalPrivSelect, ETapi)        \
  X(ETapiInvalRate, ETapi)              \
  X(ETapiInvalRequestMode, ETapi)       \
  X(ETapiInvalTerminalID, ETapi)        \
  X(ETapiInvalTerminalMode, ETapi)      \
  X(ETapiInvalTimeout, ETapi)           \
  X(ETapiInvalTone, ETapi)              \
  X(ETapiInvalToneList, ETapi)          \
  X(ETapiInvalToneMode, ETapi)          \
  X(ETapiInvalTransferMode, ETapi)      \
  X(ETapiLineMapperFailed, ETapi)       \
  X(ETapiNoConference, ETapi)           \
  X(ETapiNoDevice, ETapi)               \
  X(ETapiNoDriver, ETapi)               \
  X(ETapiNoMem, ETapi)                  \
  X(ETapiNoRequest, ETapi)              \
  X(ETapiNotOwner, ETapi)               \
  X(ETapiNotRegistered, ETapi)          \
  X(ETapiOperationFailed, ETapi)        \
  X(ETapiOperationUnavail, ETapi)       \
  X(ETapiRateUnavail, ETapi)            \
  X(ETapiResourceUnavail, ETapi)        \
  X(ETapiRequestOverrun, ETapi)         \
  X(ETapiStructureTooSmall, ETapi)      \
  X(ETapiTargetNotFound, ETapi)         \
  X(ETapiTargetSelf, ETapi)             \
  X(ETapiUninitialized, ETapi)          \
  X(ETapiUserUserInfoTooBig, ETapi)     \
  X(ETapiReinit, ETapi)                 \
  X(ETapiAddressBlocked, ETapi)         \
  X(ETapiBillingRejected, ETapi)        \
  X(ETapiInvalFeature, ETapi)           \
  X(ETapiNoMultipleInstance, ETapi)     \
  X(ETapiBusy, ETapi)                   \
  X(ETapiNotSet, ETapi)                 \
  X(ETapiNoSelect, ETapi)               \
  X(ETapiLoadFail, ETapi)               \
  X(ETapiGetAddrFail, ETapi)            \
  X(ETapiVoiceNotSupported, ETapi)      \
  X(ETapiWaveFail, ETapi)               \
  X(ETapiTranslateFail, ETapi)          \
  X(ERasLoadFail, ERas)

// Every code RaiseForCode maps to a class: X(constant, code, Class). The
// message of the raised exception is ErrorText of the code.
#define SIO_ERROR_CODES(X)                                             \
  X(ecBadArgument, -1002, EBadArgument)                                \
  X(ecGotQuitMsg, -1003, EGotQuitMsg)                                  \
  X(ecBufferTooBig, -1004, EBufferTooBig)                              \
  X(ecPortNotAssigned, -1005, EPortNotAssigned)                        \
  X(ecInternal, -1006, EInternal)                                      \
  X(ecModemNotAssigned, -1007, EModemNotAssigned)                      \
  X(ecPhonebookNotAssigned, -1008, EPhonebookNotAssigned)              \
  X(ecCannotUseWithWinSock, -1009, ECannotUseWithWinSock)              \
  X(ecBadId, -2001, EBadId)                                            \
  X(ecBaudRate, -2002, EBaudRate)                                      \
  X(ecByteSize, -2003, EByteSize)                                      \
  X(ecDefault, -2004, EDefault)                                        \
  X(ecHardware, -2005, EHardware)                                      \
  X(ecMemory, -2006, EMemory)                                          \
  X(ecCommNotOpen, -2007, ECommNotOpen)                                \
  X(ecAlreadyOpen, -2008, EAlreadyOpen)                                \
  X(ecNoHandles, -2009, ENoHandles)                                    \
  X(ecNoTimers, -2010, ENoTimers)                                      \
  X(ecNoPortSelected, -2011, ENoPortSelected)                          \
  X(ecNotOpenedByTapi, -2012, ENotOpenedByTapi)                        \
  X(ecNullApi, -3001, ENullApi)                                        \
  X(ecRegisterHandlerFailed, -3003, ERegisterHandlerFailed)            \
  X(ecPutBlockFail, -3004, EPutBlockFail)                              \
  X(ecGetBlockFail, -3005, EGetBlockFail)                              \
  X(ecOutputBufferTooSmall, -3006, EOutputBufferTooSmall)              \
  X(ecBufferIsEmpty, -3007, EBufferIsEmpty)                            \
  X(ecTracingNotEnabled, -3008, ETracingNotEnabled)                    \
  X(ecLoggingNotEnabled, -3009, ELoggingNotEnabled)                    \
  X(ecBaseAddressNotSet, -3010, EBaseAddressNotSet)                    \
  X(ecModemNotStarted, -4001, EModemNotStarted)                        \
  X(ecModemBusy, -4002, EModemBusy)                                    \
  X(ecModemNotDialing, -4003, EModemNotDialing)                        \
  X(ecNotDialing, -4004, ENotDialing)                                  \
  X(ecAlreadyDialing, -4005, EAlreadyDialing)                          \
  X(ecModemNotResponding, -4006, EModemNotResponding)                  \
  X(ecModemRejectedCommand, -4007, EModemRejectedCommand)              \
  X(ecModemStatusMismatch, -4008, EModemStatusMismatch)                \
  X(ecNoMoreTriggers, -5001, ENoMoreTriggers)                          \
  X(ecTriggerTooLong, -5002, ETriggerTooLong)                          \
  X(ecBadTriggerHandle, -5003, EBadTriggerHandle)                      \
  X(ecProtocol6006, -6006, EProtocol)                                  \
  X(ecProtocol6008, -6008, EProtocol)                                  \
  X(ecProtocol6009, -6009, EProtocol)                                  \
  X(ecKeyTooLong, -7001, EKeyTooLong)                                  \
  X(ecDataTooLarge, -7002, EDataTooLarge)                              \
  X(ecIniInternal7003, -7003, EInternal)                               \
  X(ecIniWrite, -7004, EIniWrite)                                      \
  X(ecIniRead, -7005, EIniRead)                                        \
  X(ecIniInternal7006, -7006, EInternal)                               \
  X(ecRecordExists, -7007, ERecordExists)                              \
  X(ecRecordNotFound, -7008, ERecordNotFound)                          \
  X(ecDatabaseFull, -7010, EDatabaseFull)                              \
  X(ecDatabaseEmpty, -7011, EDatabaseEmpty)                            \
  X(ecIniNotPrepared, -7012, EInternal)                                \
  X(ecBadFieldList, -7013, EBadFieldList)                              \
  X(ecBadFieldForIndex, -7014, EBadFieldForIndex)                      \
  X(ecFaxBadFormat, -8001, EFaxBadFormat)                              \
  X(ecBadGraphicsFormat, -8002, EBadGraphicsFormat)                    \
  X(ecConvertAbort, -8003, EConvertAbort)                              \
  X(ecUnpackAbort, -8004, EUnpackAbort)                                \
  X(ecCantMakeBitmap, -8005, ECantMakeBitmap)                          \
  X(ecInvalidPageNumber, -8053, EInvalidPageNumber)                    \
  X(ecFaxBadMachine, -8060, EFaxBadMachine)                            \
  X(ecFaxBadModemResult, -8061, EFaxBadModemResult)                    \
  X(ecFaxTrainError, -8062, EFaxTrainError)                            \
  X(ecFaxInitError, -8063, EFaxInitError)                              \
  X(ecFaxBusy, -8064, EFaxBusy)                                        \
  X(ecFaxVoiceCall, -8065, EFaxVoiceCall)                              \
  X(ecFaxDataCall, -8066, EFaxDataCall)                                \
  X(ecFaxNoDialTone, -8067, EFaxNoDialTone)                            \
  X(ecFaxNoCarrier, -8068, EFaxNoCarrier)                              \
  X(ecFaxSessionError, -8069, EFaxSessionError)                        \
  X(ecFaxPageError, -8070, EFaxPageError)                              \
  X(ecTapiAllocated, -13801, ETapiAllocated)                           \
  X(ecTapiBadDeviceID, -13802, ETapiBadDeviceID)                       \
  X(ecTapiBearerModeUnavail, -13803, ETapiBearerModeUnavail)           \
  X(ecTapiCallUnavail, -13805, ETapiCallUnavail)                       \
  X(ecTapiCompletionOverrun, -13806, ETapiCompletionOverrun)           \
  X(ecTapiConferenceFull, -13807, ETapiConferenceFull)                 \
  X(ecTapiDialBilling, -13808, ETapiDialBilling)                       \
  X(ecTapiDialDialtone, -13809, ETapiDialDialtone)                     \
  X(ecTapiDialPrompt, -13810, ETapiDialPrompt)                         \
  X(ecTapiDialQuiet, -13811, ETapiDialQuiet)                           \
  X(ecTapiIncompatibleApiVersion, -13812, ETapiIncompatibleApiVersion) \
  X(ecTapiIncompatibleExtVersion, -13813, ETapiIncompatibleExtVersion) \
  X(ecTapiIniFileCorrupt, -13814, ETapiIniFileCorrupt)                 \
  X(ecTapiInUse, -13815, ETapiInUse)                                   \
  X(ecTapiInvalAddress, -13816, ETapiInvalAddress)                     \
  X(ecTapiInvalAddressID, -13817, ETapiInvalAddressID)                 \
  X(ecTapiInvalAddressMode, -13818, ETapiInvalAddressMode)             \
  X(ecTapiInvalAddressState, -13819, ETapiInvalAddressState)           \
  X(ecTapiInvalAppHandle, -13820, ETapiInvalAppHandle)                 \
  X(ecTapiInvalAppName, -13821, ETapiInvalAppName)                     \
  X(ecTapiInvalBearerMode, -13822, ETapiInvalBearerMode)               \
  X(ecTapiInvalCallComplMode, -13823, ETapiInvalCallComplMode)         \
  X(ecTapiInvalCallHandle, -13824, ETapiInvalCallHandle)               \
  X(ecTapiInvalCallParams, -13825, ETapiInvalCallParams)               \
  X(ecTapiInvalCallPrivilege, -13826, ETapiInvalCallPrivilege)         \
  X(ecTapiInvalCallSelect, -13827, ETapiInvalCallSelect)               \
  X(ecTapiInvalCallState, -13828, ETapiInvalCallState)                 \
  X(ecTapiInvalCallStatelist, -13829, ETapiInvalCallStatelist)         \
  X(ecTapiInvalCard, -13830, ETapiInvalCard)                           \
  X(ecTapiInvalCompletionID, -13831, ETapiInvalCompletionID)           \
  X(ecTapiInvalConfCallHandle, -13832, ETapiInvalConfCallHandle)       \
  X(ecTapiInvalConsultCallHandle, -13833, ETapiInvalConsultCallHandle) \
  X(ecTapiInvalCountryCode, -13834, ETapiInvalCountryCode)             \
  X(ecTapiInvalDeviceClass, -13835, ETapiInvalDeviceClass)             \
  X(ecTapiInvalDeviceHandle, -13836, ETapiInvalDeviceHandle)           \
  X(ecTapiInvalDialParams, -13837, ETapiInvalDialParams)               \
  X(ecTapiInvalDigitList, -13838, ETapiInvalDigitList)                 \
  X(ecTapiInvalDigitMode, -13839, ETapiInvalDigitMode)                 \
  X(ecTapiInvalDigits, -13840, ETapiInvalDigits)                       \
  X(ecTapiInvalExtVersion, -13841, ETapiInvalExtVersion)               \
  X(ecTapiInvalGroupID, -13842, ETapiInvalGroupID)                     \
  X(ecTapiInvalLineHandle, -13843, ETapiInvalLineHandle)               \
  X(ecTapiInvalLineState, -13844, ETapiInvalLineState)                 \
  X(ecTapiInvalLocation, -13845, ETapiInvalLocation)                   \
  X(ecTapiInvalMediaList, -13846, ETapiInvalMediaList)                 \
  X(ecTapiInvalMediaMode, -13847, ETapiInvalMediaMode)                 \
  X(ecTapiInvalMessageID, -13848, ETapiInvalMessageID)                 \
  X(ecTapiInvalParam, -13850, ETapiInvalParam)                         \
  X(ecTapiInvalParkID, -13851, ETapiInvalParkID)                       \
  X(ecTapiInvalParkMode, -13852, ETapiInvalParkMode)                   \
  X(ecTapiInvalPointer, -13853, ETapiInvalPointer)                     \
  X(ecTapiInvalPrivSelect, -13854, ETapiInvalPrivSelect)               \
  X(ecTapiInvalRate, -13855, ETapiInvalRate)                           \
  X(ecTapiInvalRequestMode, -13856, ETapiInvalRequestMode)             \
  X(ecTapiInvalTerminalID, -13857, ETapiInvalTerminalID)               \
  X(ecTapiInvalTerminalMode, -13858, ETapiInvalTerminalMode)           \
  X(ecTapiInvalTimeout, -13859, ETapiInvalTimeout)                     \
  X(ecTapiInvalTone, -13860, ETapiInvalTone)                           \
  X(ecTapiInvalToneList, -13861, ETapiInvalToneList)                   \
  X(ecTapiInvalToneMode, -13862, ETapiInvalToneMode)                   \
  X(ecTapiInvalTransferMode, -13863, ETapiInvalTransferMode)           \
  X(ecTapiLineMapperFailed, -13864, ETapiLineMapperFailed)             \
  X(ecTapiNoConference, -13865, ETapiNoConference)                     \
  X(ecTapiNoDevice, -13866, ETapiNoDevice)                             \
  X(ecTapiNoDriver, -13867, ETapiNoDriver)                             \
  X(ecTapiNoMem, -13868, ETapiNoMem)                                   \
  X(ecTapiNoRequest, -13869, ETapiNoRequest)                           \
  X(ecTapiNotOwner, -13870, ETapiNotOwner)                             \
  X(ecTapiNotRegistered, -13871, ETapiNotRegistered)                   \
  X(ecTapiOperationFailed, -13872, ETapiOperationFailed)               \
  X(ecTapiOperationUnavail, -13873, ETapiOperationUnavail)             \
  X(ecTapiRateUnavail, -13874, ETapiRateUnavail)                       \
  X(ecTapiResourceUnavail, -13875, ETapiResourceUnavail)               \
  X(ecTapiRequestOverrun, -13876, ETapiRequestOverrun)                 \
  X(ecTapiStructureTooSmall, -13877, ETapiStructureTooSmall)           \
  X(ecTapiTargetNotFound, -13878, ETapiTargetNotFound)                 \
  X(ecTapiTargetSelf, -13879, ETapiTargetSelf)                         \
  X(ecTapiUninitialized, -13880, ETapiUninitialized)                   \
  X(ecTapiUserUserInfoTooBig, -13881, ETapiUserUserInfoTooBig)         \
  X(ecTapiReinit, -13882, ETapiReinit)                                 \
  X(ecTapiAddressBlocked, -13883, ETapiAddressBlocked)                 \
  X(ecTapiBillingRejected, -13884, ETapiBillingRejected)               \
  X(ecTapiInvalFeature, -13885, ETapiInvalFeature)                     \
  X(ecTapiNoMultipleInstance, -13886, ETapiNoMultipleInstance)         \
  X(ecTapiBusy, -13928, ETapiBusy)                                     \
  X(ecTapiNotSet, -13929, ETapiNotSet)                                 \
  X(ecTapiNoSelect, -13930, ETapiNoSelect)                             \
  X(ecTapiLoadFail, -13931, ETapiLoadFail)                             \
  X(ecTapiGetAddrFail, -13932, ETapiGetAddrFail)                       \
  X(ecTapiVoiceNotSupported, -13935, ETapiVoiceNotSupported)           \
  X(ecTapiWaveFail, -13936, ETapiWaveFail)                             \
  X(ecTapiTranslateFail, -13942, ETapiTranslateFail)                   \
  X(ecRasLoadFail, -13980, ERasLoadFail)

#define SIO_DECLARE_GROUP(group)        \
  class group : public ESioException {  \
   public:                              \
    using ESioException::ESioException; \
  };
SIO_ERROR_GROUPS(SIO_DECLARE_GROUP)
#undef SIO_DECLARE_GROUP

#define SIO_DECLARE_LEAF(leaf, group) \
  class leaf : public group {         \
   public:                            \
    using group::group;               \
  };
SIO_ERROR_LEAVES(SIO_DECLARE_LEAF)
#undef SIO_DECLARE_LEAF

constexpr LONG ecOK = 0;
#define SIO_DECLARE_CODE(name, code, cls) constexpr LONG name = code;
SIO_ERROR_CODES(SIO_DECLARE_CODE)
#undef SIO_DECLARE_CODE
// Codes with a text but no class of their own: they raise the catch-all.
constexpr LONG ecBadHandle = -1001;
constexpr LONG ecNotSupported = -3002;

// Returns code unchanged when it is 0 or more, or while port is loading (a
// null port counts as not loading). Otherwise raises exactly one exception:
// the mapped class for the 166 mapped codes; EOutOfMemory for -8;
// EInOutError(ErrorText(n), n) for the rest of -2 .. -162; ESioException
// "Serial engine exception" (Code 0) for anything else.
LONG RaiseForCode(const TComponent* port, LONG code);

// The text of a code: the code is taken as a 16-bit signed value and its sign
// dropped; the error string table's text for that number (at most 255
// characters, returned exactly as stored), else the system's message for it
// cleaned by CleanErrorText, else "". Never raises.
std::string ErrorText(LONG code);

// Control characters (below 32) become blanks, then each run of blanks shrinks
// to one; nothing is trimmed.
std::string CleanErrorText(std::string_view text);
