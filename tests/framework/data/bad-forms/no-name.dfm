object : TForm1
end
