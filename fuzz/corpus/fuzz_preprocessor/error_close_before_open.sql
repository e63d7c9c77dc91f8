a */ b /* c
