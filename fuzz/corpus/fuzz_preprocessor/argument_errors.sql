#ifdef	X
#ifdef
#set a
#set = 1
