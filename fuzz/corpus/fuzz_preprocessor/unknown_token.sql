#ifdef X
#include x
#endif
#include y
