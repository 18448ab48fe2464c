#pragma once

namespace kemo {

// Sets how the C heap hands memory back: few arenas for the player's threads, and freed memory kept
// up to a bound instead of being returned to the system after every big free. Opening a full folder
// frees and allocates some ten megabytes at once; each page given back and taken again costs a
// page fault, which on a virtual machine costs more than the parse itself. Blocks of half a megabyte
// and more (pictures) are mapped apart and given back as they are freed. Call first thing in main.
void TuneHeap();

// Hands the heap's free pages back to the system (the kept memory above): called once a folder is
// open, when a lecture's reading has freed its parse and the memory would otherwise stay resident.
void ReturnFreedHeap();

}  // namespace kemo
