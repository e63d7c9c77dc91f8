#ifdef A
#ifdef B
x
#endif
y
#endif
#Ifdef A
#else
#ifdef B
#endif
#else
#endif
