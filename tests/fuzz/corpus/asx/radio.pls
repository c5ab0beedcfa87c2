[playlist]
File2=http://r/2
Title2=x
File1=http://r/1
NumberOfEntries=2
Version=2
