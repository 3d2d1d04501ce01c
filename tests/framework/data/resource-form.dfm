object ResourceForm: TResourceForm
  Caption = #1606#1589#1576' Velmora'
  ClientWidth = 120
  ClientHeight = 60
  object Label1: TLabel
    Left = 8
    Top = 8
    Caption = 'stored as a resource'
  end
end
