object Form1: TForm1
  Left = @
end
