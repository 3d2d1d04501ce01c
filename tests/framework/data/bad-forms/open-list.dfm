object Form1: TForm1
  Items.Strings = (
    'a'
