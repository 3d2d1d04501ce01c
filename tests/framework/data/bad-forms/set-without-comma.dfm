object Form1: TForm1
  Font.Style = [fsBold fsItalic]
end
