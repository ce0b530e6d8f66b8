// core/zr_out_of_memory.h: the one way the containers fail an allocation. The process cannot go
// on without the block, so the message goes to the error stream as perror writes it and the
// process aborts.
#ifndef CORE_ZR_OUT_OF_MEMORY_H
#define CORE_ZR_OUT_OF_MEMORY_H

// Prints message as perror does (the text, ": ", the system's error text, a line feed), then
// calls abort(). Never returns.
[[noreturn]] void ZR_OutOfMemory(const char* message);

#endif  // CORE_ZR_OUT_OF_MEMORY_H
