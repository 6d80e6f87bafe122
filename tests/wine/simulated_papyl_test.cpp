// The simulated fingerprint library on its own: its fingers tell each other apart, its readers
// call back on threads of their own, finalisation stops them, and its pictures are bitmaps the
// caller owns.
#include <gtest/gtest.h>

#include <vector>

#include "sim/papyl/StandInPapylControl.h"
#include "tests/wine/support/TestPaths.h"

namespace {

typedef void(WINAPI* StatusFn)(const char* sensorId, int event);
typedef void(WINAPI* ImageFn)(const char* sensorId, int width, int height,
                              const unsigned char* pixels, int resolution);
typedef int(WINAPI* NoArgumentFn)();
typedef int(WINAPI* CapInitializeFn)(StatusFn onStatus);
typedef int(WINAPI* StartCaptureFn)(const char* sensorId, StatusFn onEvent, ImageFn onImage);
typedef int(WINAPI* ExtractFn)(const unsigned char* pixels, int width, int height, int resolution,
                               unsigned char* buffer, int* size, int context);
typedef int(WINAPI* VerifyFn)(const unsigned char* candidate, const unsigned char* reference,
                              int* score, int context);
typedef int(WINAPI* DisplayFn)(const unsigned char* fingerprintTemplate,
                               const unsigned char* pixels, int width, int height, int resolution,
                               HDC dc, HBITMAP* bitmap, int matchContext);

constexpr int kTemplateCapacity = 10000;
constexpr DWORD kPatience = 10000;

// What the callbacks saw; they run on the library's threads.
struct Seen {
  std::vector<int> statuses;
  std::vector<DWORD> threads;
  int images = 0;
  int width = 0, height = 0, resolution = 0;
  std::vector<unsigned char> pixels;
  HANDLE release = nullptr;  // when set, image callbacks wait for it
  bool verifyAfterImage = false;
};
Seen seen;
CRITICAL_SECTION seenLock;
VerifyFn verifyFromCallback;

void Note(DWORD thread) {
  EnterCriticalSection(&seenLock);
  seen.threads.push_back(thread);
  LeaveCriticalSection(&seenLock);
}

void WINAPI OnStatus(const char*, int event) {
  EnterCriticalSection(&seenLock);
  seen.statuses.push_back(event);
  LeaveCriticalSection(&seenLock);
  Note(GetCurrentThreadId());
}

void WINAPI OnFingerEvent(const char*, int) {}

void WINAPI OnImage(const char*, int width, int height, const unsigned char* pixels,
                    int resolution) {
  Note(GetCurrentThreadId());
  if (seen.release) WaitForSingleObject(seen.release, kPatience);
  EnterCriticalSection(&seenLock);
  ++seen.images;
  seen.width = width, seen.height = height, seen.resolution = resolution;
  seen.pixels.assign(pixels, pixels + width * height);
  LeaveCriticalSection(&seenLock);
  int score;
  if (seen.verifyAfterImage) verifyFromCallback(nullptr, nullptr, &score, 0);
}

DWORD WINAPI ReleaseCallbacksSoon(LPVOID) {
  Sleep(200);
  SetEvent(seen.release);
  return 0;
}

class SimulatedPapyl : public testing::Test {
 protected:
  void SetUp() override {
    InitializeCriticalSection(&seenLock);
    seen = Seen{};
    library_ = LoadLibraryA(BinPath("papyl\\papyl.dll").c_str());
    ASSERT_NE(library_, nullptr);
    ASSERT_TRUE(control_.Bind(library_));
    control_.Reset();
    verifyFromCallback = Entry<VerifyFn>("_PxVerify@16");
  }
  void TearDown() override {
    if (seen.release) SetEvent(seen.release);
    if (library_) FreeLibrary(library_);  // with its workers still there
    if (seen.release) CloseHandle(seen.release);
    DeleteCriticalSection(&seenLock);
  }

  template <class Fn>
  Fn Entry(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(library_, name)));
  }

  // Library and capture layer up, one reader plugged and capturing.
  void StartCapturing(const char* reader) {
    ASSERT_EQ(Entry<NoArgumentFn>("_PxInitialize@0")(), 0);
    ASSERT_EQ(Entry<CapInitializeFn>("_PxCapInitialize@4")(OnStatus), 0);
    control_.PlugReader(reader);
    ASSERT_EQ(control_.WaitIdle(kPatience), 1);
    Entry<StartCaptureFn>("_PxCapStartCapture@12")(reader, OnFingerEvent, OnImage);
  }

  bool AwaitCallbacks(int running) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < kPatience; Sleep(1))
      if (control_.CallbacksRunning() == running) return true;
    return false;
  }

  std::vector<unsigned char> Enrol(int finger, int placement) {
    std::vector<unsigned char> buffer(kTemplateCapacity);
    int size = kTemplateCapacity;
    EXPECT_EQ(control_.EnrolTemplate(finger, placement, buffer.data(), &size), 0) << finger;
    EXPECT_GT(size, 16);
    EXPECT_LT(size, kTemplateCapacity);
    return buffer;
  }

  HMODULE library_ = nullptr;
  SimPapylControl control_{};
};

TEST_F(SimulatedPapyl, PlacementsOfAFingerMatchAndOtherFingersDoNot) {
  const int fingers[] = {1, 2, 3, 777, 1999, 2000};
  std::vector<std::vector<unsigned char>> first, later;
  for (int finger : fingers) {
    first.push_back(Enrol(finger, 0));
    later.push_back(Enrol(finger, 50));
  }
  VerifyFn verify = Entry<VerifyFn>("_PxVerify@16");
  ASSERT_EQ(Entry<NoArgumentFn>("_PxInitialize@0")(), 0);
  for (size_t i = 0; i < first.size(); ++i) {
    for (size_t j = 0; j < later.size(); ++j) {
      int score = -1;
      EXPECT_EQ(verify(first[i].data(), later[j].data(), &score, 0), i == j ? 1 : 0)
          << "fingers " << fingers[i] << " and " << fingers[j] << " scored " << score;
    }
    int self = -1, back = -1;
    EXPECT_EQ(verify(later[i].data(), later[i].data(), &self, 0), 1);
    EXPECT_EQ(self, 100) << "a template against itself scores the top";
    EXPECT_EQ(verify(later[i].data(), first[i].data(), &back, 0), 1) << "either way round";
    EXPECT_LE(back, self);
  }
  EXPECT_EQ(control_.CallCount("_PxExtract@28"), 0) << "enrolment is not an extraction call";
  EXPECT_EQ(control_.LateCalls(), 0);
}

TEST_F(SimulatedPapyl, ReadersCallBackOnThreadsOfTheirOwnWithEachPlacementInTurn) {
  StartCapturing("reader-A");
  control_.PlaceFinger("reader-A", 7);
  control_.PlaceFinger("reader-A", 7);
  ASSERT_EQ(control_.WaitIdle(kPatience), 1);
  control_.UnplugReader("reader-A");
  ASSERT_EQ(control_.WaitIdle(kPatience), 1);

  EXPECT_EQ(seen.statuses, (std::vector<int>{21, 20}));
  EXPECT_EQ(seen.images, 2);
  EXPECT_EQ(seen.width, 256);
  EXPECT_EQ(seen.height, 360);
  EXPECT_EQ(seen.resolution, 500);
  std::vector<unsigned char> second(256 * 360);
  int w, h, r;
  ASSERT_EQ(control_.FingerImage(7, 1, second.data(), 256 * 360, &w, &h, &r), 0);
  EXPECT_EQ(seen.pixels, second) << "the second placement came last";
  for (DWORD thread : seen.threads) EXPECT_NE(thread, GetCurrentThreadId());
  EXPECT_EQ(control_.LateCalls(), 0);
}

TEST_F(SimulatedPapyl, TwoReadersDeliverAtOnceOnDifferentThreads) {
  seen.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  StartCapturing("reader-A");
  control_.PlugReader("reader-B");
  ASSERT_EQ(control_.WaitIdle(kPatience), 1);
  Entry<StartCaptureFn>("_PxCapStartCapture@12")("reader-B", OnFingerEvent, OnImage);
  seen.threads.clear();
  control_.PlaceFinger("reader-A", 1);
  control_.PlaceFinger("reader-B", 2);
  EXPECT_TRUE(AwaitCallbacks(2));
  EXPECT_EQ(control_.WaitIdle(50), 0) << "not idle while callbacks run";
  SetEvent(seen.release);
  ASSERT_EQ(control_.WaitIdle(kPatience), 1);
  ASSERT_EQ(seen.threads.size(), 2u);
  EXPECT_NE(seen.threads[0], seen.threads[1]);
}

TEST_F(SimulatedPapyl, AfterCaptureFinalisationNothingMoreIsDeliveredAndLateCallsCount) {
  seen.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  seen.verifyAfterImage = true;
  StartCapturing("reader-A");
  control_.PlaceFinger("reader-A", 3);
  ASSERT_TRUE(AwaitCallbacks(1));
  control_.PlaceFinger("reader-A", 3);
  Entry<NoArgumentFn>("_PxCapFinalize@0")();  // does not wait by default
  control_.PlaceFinger("reader-A", 3);
  control_.PlugReader("reader-B");
  SetEvent(seen.release);
  ASSERT_EQ(control_.WaitIdle(kPatience), 1);
  EXPECT_EQ(seen.images, 1) << "the queued and later placements were dropped";
  EXPECT_EQ(seen.statuses, (std::vector<int>{21}));
  EXPECT_EQ(control_.LateCalls(), 1) << "the callback's verify after finalisation";

  // The readers stay plugged and are reported again; a waiting finalisation outlasts a callback.
  ResetEvent(seen.release);
  control_.SetFinalizeWaits(1);
  ASSERT_EQ(Entry<CapInitializeFn>("_PxCapInitialize@4")(OnStatus), 0);
  ASSERT_EQ(control_.WaitIdle(kPatience), 1);
  EXPECT_EQ(seen.statuses, (std::vector<int>{21, 21, 21}));
  seen.verifyAfterImage = false;
  Entry<StartCaptureFn>("_PxCapStartCapture@12")("reader-A", OnFingerEvent, OnImage);
  control_.PlaceFinger("reader-A", 3);
  ASSERT_TRUE(AwaitCallbacks(1));
  HANDLE releaser = CreateThread(nullptr, 0, ReleaseCallbacksSoon, nullptr, 0, nullptr);
  Entry<NoArgumentFn>("_PxCapFinalize@0")();
  EXPECT_EQ(control_.CallbacksRunning(), 0);
  EXPECT_EQ(seen.images, 2);
  EXPECT_EQ(control_.FinalizeTimeouts(), 0);
  WaitForSingleObject(releaser, kPatience);
  CloseHandle(releaser);

  Entry<NoArgumentFn>("_PxFinalize@0")();
  int score;
  verifyFromCallback(nullptr, nullptr, &score, 0);
  EXPECT_EQ(control_.LateCalls(), 2) << "a verify after the library's finalisation";
}

TEST_F(SimulatedPapyl, PicturesAreBitmapsOfTheImageSizeThatTheCallerDeletes) {
  std::vector<unsigned char> pixels(256 * 360), buffer(kTemplateCapacity);
  int w, h, r, size = kTemplateCapacity;
  ASSERT_EQ(control_.FingerImage(9, 4, pixels.data(), 256 * 360, &w, &h, &r), 0);
  ASSERT_EQ(Entry<NoArgumentFn>("_PxInitialize@0")(), 0);
  ASSERT_EQ(Entry<ExtractFn>("_PxExtract@28")(pixels.data(), w, h, r, buffer.data(), &size, 0), 0);
  DisplayFn display = Entry<DisplayFn>("_PxBiometricDisplay@32");
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = nullptr;
  EXPECT_EQ(display(buffer.data(), pixels.data(), w, h, r, screen, &bitmap, -1), 0);
  BITMAP info = {};
  ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmWidth, 256);
  EXPECT_EQ(info.bmHeight, 360);
  EXPECT_EQ(control_.BitmapsAlive(), 1);
  DeleteObject(bitmap);
  EXPECT_EQ(control_.BitmapsAlive(), 0);

  control_.SetDisplayMakesBitmap(0);
  bitmap = reinterpret_cast<HBITMAP>(1);
  EXPECT_EQ(display(buffer.data(), pixels.data(), w, h, r, screen, &bitmap, 0), 0);
  EXPECT_EQ(bitmap, nullptr);
  EXPECT_EQ(control_.BitmapsMade(), 1);
  ReleaseDC(nullptr, screen);
}

}  // namespace
