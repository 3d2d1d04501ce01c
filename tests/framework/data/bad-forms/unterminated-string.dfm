object Form1: TForm1
  Caption = 'unterminated
end
