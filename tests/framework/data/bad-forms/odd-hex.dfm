object Form1: TForm1
  Picture.Data = {0A1}
end
