// Compound files on disk, through libgsf: GsfInfileMSOle reads them and
// GsfOutfileMSOle writes them.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <system_error>

#include "Storage.h"

namespace qorv::platform::storage {

namespace {

namespace fs = std::filesystem;

void InitGsf() {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
}

// Owns one reference on a GObject.
template <class T>
struct GRef {
  T* Object = nullptr;
  explicit GRef(T* object) : Object(object) {}
  GRef(const GRef&) = delete;
  GRef& operator=(const GRef&) = delete;
  ~GRef() {
    if (Object) g_object_unref(Object);
  }
};

std::string Utf8Of(const std::u16string& name) {
  gchar* utf8 = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(name.c_str()), static_cast<glong>(name.size()),
                                nullptr, nullptr, nullptr);
  std::string out = utf8 ? utf8 : "";
  g_free(utf8);
  return out;
}

std::u16string Utf16Of(const char* name) {
  gunichar2* utf16 = g_utf8_to_utf16(name ? name : "", -1, nullptr, nullptr, nullptr);
  std::u16string out = utf16 ? reinterpret_cast<const char16_t*>(utf16) : u"";
  g_free(utf16);
  return out;
}

constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

bool HasCompoundSignature(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char head[8] = {};
  return in.read(reinterpret_cast<char*>(head), sizeof head) && std::memcmp(head, kSignature, sizeof head) == 0;
}

HRESULT OpenError(int err) {
  switch (err) {
    case ENOENT: return STG_E_FILENOTFOUND;
    case ENOTDIR: return STG_E_PATHNOTFOUND;
    case EACCES:
    case EPERM: return STG_E_ACCESSDENIED;
    default: return STG_E_READFAULT;
  }
}

// Reads the children of `infile` into `storage`; false when a stream cannot
// be read in full.
bool ReadChildren(GsfInfile* infile, Element& storage) {
  const int count = gsf_infile_num_children(infile);
  for (int i = 0; i < count; ++i) {
    GRef<GsfInput> child(gsf_infile_child_by_index(infile, i));
    if (!child.Object) return false;
    auto element = std::make_shared<Element>();
    element->Name = Utf16Of(gsf_infile_name_by_index(infile, i));
    // A storage's child is an infile with zero or more children; a stream's
    // answers -1.
    if (GSF_IS_INFILE(child.Object) && gsf_infile_num_children(GSF_INFILE(child.Object)) >= 0) {
      element->IsStorage = true;
      if (GSF_IS_INFILE_MSOLE(child.Object)) {
        gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(child.Object), reinterpret_cast<guint8*>(&element->Clsid));
      }
      if (!ReadChildren(GSF_INFILE(child.Object), *element)) return false;
    } else {
      const gsf_off_t size = gsf_input_size(child.Object);
      if (size < 0) return false;
      element->Bytes.resize(static_cast<size_t>(size));
      if (size > 0 && !gsf_input_read(child.Object, static_cast<size_t>(size), element->Bytes.data())) return false;
    }
    storage.Children.push_back(std::move(element));
  }
  return true;
}

bool WriteChildren(GsfOutfile* outfile, const Element& storage) {
  for (const auto& child : storage.Children) {
    std::string name = Utf8Of(child->Name);
    GRef<GsfOutput> output(gsf_outfile_new_child(outfile, name.c_str(), child->IsStorage));
    if (!output.Object) return false;
    bool ok = true;
    if (child->IsStorage) {
      if (child->Clsid != GUID_NULL) {
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(output.Object),
                                       reinterpret_cast<const guint8*>(&child->Clsid));
      }
      ok = WriteChildren(GSF_OUTFILE(output.Object), *child);
    } else if (!child->Bytes.empty()) {
      ok = gsf_output_write(output.Object, child->Bytes.size(), child->Bytes.data());
    }
    if (!gsf_output_close(output.Object)) ok = false;
    if (!ok) return false;
  }
  return true;
}

}  // namespace

HRESULT LoadDocument(const fs::path& file, std::shared_ptr<Element>* root) {
  InitGsf();
  if (::access(file.c_str(), R_OK) != 0) return OpenError(errno);
  GError* error = nullptr;
  GRef<GsfInput> input(gsf_input_stdio_new(file.c_str(), &error));
  if (error) g_error_free(error);
  if (!input.Object) return STG_E_READFAULT;
  error = nullptr;
  GRef<GsfInfile> infile(gsf_infile_msole_new(input.Object, &error));
  if (error) g_error_free(error);
  if (!infile.Object) return HasCompoundSignature(file) ? STG_E_DOCFILECORRUPT : STG_E_FILEALREADYEXISTS;
  auto tree = std::make_shared<Element>();
  tree->IsStorage = true;
  gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(infile.Object), reinterpret_cast<guint8*>(&tree->Clsid));
  if (!ReadChildren(infile.Object, *tree)) return STG_E_DOCFILECORRUPT;
  *root = std::move(tree);
  return S_OK;
}

HRESULT SaveDocument(const fs::path& file, const Element& root) {
  InitGsf();
  fs::path temporary = file;
  temporary += ".saving";
  bool ok = false;
  {
    GError* error = nullptr;
    GRef<GsfOutput> sink(gsf_output_stdio_new(temporary.c_str(), &error));
    if (error) g_error_free(error);
    if (!sink.Object) return ::access(file.parent_path().c_str(), W_OK) == 0 ? STG_E_WRITEFAULT : STG_E_ACCESSDENIED;
    GRef<GsfOutfile> outfile(gsf_outfile_msole_new(sink.Object));
    ok = outfile.Object != nullptr;
    if (ok && root.Clsid != GUID_NULL) {
      gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(outfile.Object), reinterpret_cast<const guint8*>(&root.Clsid));
    }
    if (ok) ok = WriteChildren(outfile.Object, root);
    if (outfile.Object && !gsf_output_close(GSF_OUTPUT(outfile.Object))) ok = false;
    // Closing the compound file closes its sink too, unless it never got
    // that far.
    if (!gsf_output_is_closed(sink.Object) && !gsf_output_close(sink.Object)) ok = false;
  }
  std::error_code ignored;
  if (!ok) {
    fs::remove(temporary, ignored);
    return STG_E_WRITEFAULT;
  }
  std::error_code error;
  fs::rename(temporary, file, error);
  if (error) {
    fs::remove(temporary, ignored);
    return STG_E_WRITEFAULT;
  }
  return S_OK;
}

}  // namespace qorv::platform::storage
