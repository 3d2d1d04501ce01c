object Form1: TForm1
  Left 12
end
