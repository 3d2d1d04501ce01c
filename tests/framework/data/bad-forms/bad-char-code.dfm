object Form1: TForm1
  Caption = #99999999
end
