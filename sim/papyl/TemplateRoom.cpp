// The room behind a pointer: to the end of the heap block that holds it, or, for memory that no
// heap block holds (a large block of its own, a stack, static data), to the end of its region.
#include "sim/papyl/TemplateRoom.h"

#include <windows.h>

namespace {

constexpr DWORD kMaxHeaps = 64;

volatile LONG measuring = 0;
volatile LONG smallest = -1;

bool Inside(const void* pointer, const void* start, SIZE_T size) {
  auto p = reinterpret_cast<ULONG_PTR>(pointer), s = reinterpret_cast<ULONG_PTR>(start);
  return p >= s && p < s + size;
}

// Bytes from pointer to the end of its busy block in heap; -1 when the heap has no such block.
long RoomInHeap(HANDLE heap, const void* pointer) {
  long room = -1;
  if (!HeapLock(heap)) return room;
  PROCESS_HEAP_ENTRY entry{};
  while (room < 0 && HeapWalk(heap, &entry))
    if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) && Inside(pointer, entry.lpData, entry.cbData))
      room = static_cast<long>(static_cast<const BYTE*>(entry.lpData) + entry.cbData -
                               static_cast<const BYTE*>(pointer));
  HeapUnlock(heap);
  return room;
}

long RoomInRegion(const void* pointer) {
  MEMORY_BASIC_INFORMATION region{};
  if (!VirtualQuery(pointer, &region, sizeof region) || region.State != MEM_COMMIT) return 0;
  return static_cast<long>(static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize -
                           static_cast<const BYTE*>(pointer));
}

long RoomBehind(const void* pointer) {
  HANDLE heaps[kMaxHeaps];
  DWORD count = GetProcessHeaps(kMaxHeaps, heaps);
  for (DWORD i = 0; i < count && i < kMaxHeaps; ++i) {
    long room = RoomInHeap(heaps[i], pointer);
    if (room >= 0) return room;
  }
  return RoomInRegion(pointer);
}

}  // namespace

void SetMeasureTemplateRoom(bool on) { InterlockedExchange(&measuring, on ? 1 : 0); }

void NoteTemplateRoom(const void* fingerprintTemplate) {
  if (!measuring || !fingerprintTemplate) return;
  long room = RoomBehind(fingerprintTemplate);
  for (LONG seen = smallest; seen < 0 || room < seen; seen = smallest)
    if (InterlockedCompareExchange(&smallest, room, seen) == seen) break;
}

long SmallestTemplateRoom() { return smallest; }

void ResetTemplateRoom() {
  InterlockedExchange(&measuring, 0);
  InterlockedExchange(&smallest, -1);
}
