/a/int = 1
/a/float = 1.5.5
/z/new = 3
z = 4
/a/int = 2
