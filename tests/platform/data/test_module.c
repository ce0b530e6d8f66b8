/* tests/platform/data/test_module.c: a loadable module for the dynamic-library tests. Built once
   per ZR_MODULE_VALUE; with ZR_MODULE_UNRESOLVED it calls a function that no library defines. */
#ifdef ZR_MODULE_UNRESOLVED
extern int zr_symbol_that_does_not_exist(void);
int zr_module_value(void) { return zr_symbol_that_does_not_exist(); }
#else
int zr_module_value(void) { return ZR_MODULE_VALUE; }
#endif

/* Same name in every copy: each handle must resolve it to its own copy. */
int zr_module_identity(void) { return 100 + ZR_MODULE_VALUE; }
