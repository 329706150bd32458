# config

  /a/int=+9 # nine
/c/f = -2e3
/c/t = "#x\t\""	# y
/c/inf = -inf