// Stands in for a GL driver that allocates once, keeps the block only in its
// own static data, and is unloaded before the process ends: the block is then
// unreachable, and the frames that allocated it belong to no loaded module.
#include <pthread.h>
#include <stdlib.h>

static pthread_once_t once = PTHREAD_ONCE_INIT;
// Exported so that the compiler keeps the allocation.
void* fake_driver_table;

static void initialise(void) { fake_driver_table = realloc(NULL, 128); }

void fake_driver_init(void) { pthread_once(&once, initialise); }
