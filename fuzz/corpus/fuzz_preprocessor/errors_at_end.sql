#ifdef A
x & y
#endif
/* open at end
