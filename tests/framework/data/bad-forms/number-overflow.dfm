object Form1: TForm1
  Left = 99999999999999999999999
end
