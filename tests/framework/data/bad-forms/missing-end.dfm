object Form1: TForm1
  Left = 1
  object Label1: TLabel
    Caption = 'x'
