// The stand-in fingerprint library's control interface, for tests and the demo: readers to plug
// and unplug, fingers to place, answers to force, and what the library was asked and handed out.
// Fingers are numbered from 1; each placement of a finger (0, 1, ... in delivery order, counted
// per finger over all readers) is a shifted, noisy image of the same ridges.
#pragma once

#include <windows.h>

typedef void (*SimPapylResetFn)();
typedef int (*SimPapylCallCountFn)(const char* exportedName);
typedef void (*SimPapylSetResultFn)(const char* exportedName, int result);
typedef UINT_PTR (*SimPapylLastArgumentFn)(const char* exportedName, int position);
typedef void (*SimPapylReaderFn)(const char* readerId);
typedef void (*SimPapylPlaceFingerFn)(const char* readerId, int finger);
typedef int (*SimPapylWaitIdleFn)(DWORD timeoutMs);
typedef int (*SimPapylCountFn)();
typedef void (*SimPapylSwitchFn)(int on);
typedef int (*SimPapylFingerImageFn)(int finger, int placement, unsigned char* pixels, int capacity,
                                     int* width, int* height, int* resolution);
typedef int (*SimPapylEnrolTemplateFn)(int finger, int placement, unsigned char* buffer, int* size);

struct SimPapylControl {
  // Every reader unplugged and forgotten (callbacks in progress get 2 s to end; the worker
  // threads stay for later readers), the library not initialised, natural answers, counts and
  // records cleared, finalisation not waiting, reports queued, extraction at once, nothing
  // measured, the display making bitmaps, placements from 0.
  SimPapylResetFn Reset;
  SimPapylCallCountFn CallCount;  // -1 for a name that is not an entry point
  // Forces an entry point's answer ("_PxVerify@16", ...) until Reset.
  SimPapylSetResultFn SetResult;
  SimPapylLastArgumentFn LastArgument;  // of the latest call, by position from 0

  // Status 21 / 20 reach the status callback when the capture layer is initialised.
  SimPapylReaderFn PlugReader;
  SimPapylReaderFn UnplugReader;
  // An image (preceded by finger event 1) when capture runs on that reader; ignored otherwise.
  SimPapylPlaceFingerFn PlaceFinger;
  SimPapylWaitIdleFn WaitIdle;  // 1 once everything queued is delivered and no callback runs
  SimPapylCountFn CallbacksRunning;
  SimPapylSwitchFn SetDisplayMakesBitmap;  // 0: the display answers 0 with a null bitmap
  SimPapylSwitchFn SetFinalizeWaits;       // 1: finalisation waits (10 s at most) for callbacks
  SimPapylCountFn FinalizeTimeouts;
  // Calls before initialisation, or from a callback queued before the capture layer last closed
  // or opened again.
  SimPapylCountFn LateCalls;
  // The image a placement delivers: 0, -1 when capacity is short, -2 for no such placement.
  SimPapylFingerImageFn FingerImage;
  // That image's template, as _PxExtract@28 would make it (not counted as a call): 0, -1 for
  // no such placement, -2 when *size is short (it then says how much is needed).
  SimPapylEnrolTemplateFn EnrolTemplate;
  SimPapylCountFn BitmapsAlive;  // display bitmaps handed out and not deleted yet
  SimPapylCountFn BitmapsMade;
  // 1: _PxCapInitialize@4 reports plugged readers from its threads and returns only once those
  // callbacks have returned (10 s at most; a timeout is counted), answering no messages meanwhile.
  SimPapylSwitchFn SetReportsInsideInitialize;
  SimPapylCountFn ReportTimeouts;
  SimPapylSwitchFn SetExtractDelay;  // milliseconds each _PxExtract@28 takes (0: none)
  // 1: the room behind every template pointer handed to _PxVerify@16 and
  // _PxBiometricDisplay@32 is measured (to the end of its heap block or memory region).
  SimPapylSwitchFn SetMeasureTemplateRoom;
  SimPapylCountFn SmallestTemplateRoom;  // bytes; -1 when nothing was measured

  bool Bind(HMODULE standIn) {
    return Get(standIn, "SimPapylReset", Reset) && Get(standIn, "SimPapylCallCount", CallCount) &&
           Get(standIn, "SimPapylSetResult", SetResult) &&
           Get(standIn, "SimPapylLastArgument", LastArgument) &&
           Get(standIn, "SimPapylPlugReader", PlugReader) &&
           Get(standIn, "SimPapylUnplugReader", UnplugReader) &&
           Get(standIn, "SimPapylPlaceFinger", PlaceFinger) &&
           Get(standIn, "SimPapylWaitIdle", WaitIdle) &&
           Get(standIn, "SimPapylCallbacksRunning", CallbacksRunning) &&
           Get(standIn, "SimPapylSetDisplayMakesBitmap", SetDisplayMakesBitmap) &&
           Get(standIn, "SimPapylSetFinalizeWaits", SetFinalizeWaits) &&
           Get(standIn, "SimPapylFinalizeTimeouts", FinalizeTimeouts) &&
           Get(standIn, "SimPapylLateCalls", LateCalls) &&
           Get(standIn, "SimPapylFingerImage", FingerImage) &&
           Get(standIn, "SimPapylEnrolTemplate", EnrolTemplate) &&
           Get(standIn, "SimPapylBitmapsAlive", BitmapsAlive) &&
           Get(standIn, "SimPapylBitmapsMade", BitmapsMade) &&
           Get(standIn, "SimPapylSetReportsInsideInitialize", SetReportsInsideInitialize) &&
           Get(standIn, "SimPapylReportTimeouts", ReportTimeouts) &&
           Get(standIn, "SimPapylSetExtractDelay", SetExtractDelay) &&
           Get(standIn, "SimPapylSetMeasureTemplateRoom", SetMeasureTemplateRoom) &&
           Get(standIn, "SimPapylSmallestTemplateRoom", SmallestTemplateRoom);
  }

 private:
  template <class Fn>
  static bool Get(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    return fn != nullptr;
  }
};
