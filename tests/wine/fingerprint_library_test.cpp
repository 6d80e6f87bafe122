// The fingerprint library binding, on the stand-in library: file name ownership, the load count,
// lookups on first use (one per entry point in an object's life) and -2 for what is missing.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fingerprint/FingerprintLibrary.h"
#include "sim/papyl/StandInPapylControl.h"
#include "tests/wine/support/ImportHook.h"
#include "tests/wine/support/TestPaths.h"

namespace {

// Lets the test read the load state that the class keeps for itself and its subclasses.
class InspectableLibrary : public FingerprintLibrary {
 public:
  HMODULE Module() const { return module_; }
  const char* FileName() const { return fileName_; }
  LONG LoadCount() const { return referenceCount_; }
};

std::string StandInPath() { return BinPath("papyl\\papyl.dll"); }

bool StandInLoaded() { return GetModuleHandleA(StandInPath().c_str()) != nullptr; }

SimPapylControl StandInControl() {
  SimPapylControl control{};
  HMODULE standIn = GetModuleHandleA(StandInPath().c_str());
  if (!standIn || !control.Bind(standIn)) ADD_FAILURE() << "the stand-in library is not loaded";
  return control;
}

UINT_PTR W(const void* p) { return reinterpret_cast<UINT_PTR>(p); }

void WINAPI NoStatus(const char*, int) {}
void WINAPI NoEvent(const char*, int) {}
void WINAPI NoImage(const char*, int, int, const unsigned char*, int) {}

struct WrapperCase {
  const char* exportedName;
  // Calls the wrapper with distinct arguments; fills the arguments the library must receive.
  std::function<int(FingerprintLibrary&, std::vector<UINT_PTR>&)> call;
};

unsigned char pixels[4], templ[4], reference[4], first, second;
int size = 10000, score;
HBITMAP bitmap;
HDC dc = reinterpret_cast<HDC>(0x1234);
const char sensor[] = "reader-1";

const WrapperCase kWrappers[] = {
    {"_PxInitialize@0", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {};
       return l.PxInitialize();
     }},
    {"_PxFinalize@0", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {};
       return l.PxFinalize();
     }},
    {"_PxCapInitialize@4", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {reinterpret_cast<UINT_PTR>(NoStatus)};
       return l.PxCapInitialize(NoStatus);
     }},
    {"_PxCapFinalize@0", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {};
       return l.PxCapFinalize();
     }},
    {"_PxCapStartCapture@12", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {W(sensor), reinterpret_cast<UINT_PTR>(NoEvent), reinterpret_cast<UINT_PTR>(NoImage)};
       return l.PxCapStartCapture(sensor, NoEvent, NoImage);
     }},
    {"_PxCapStopCapture@4", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {W(sensor)};
       return l.PxCapStopCapture(sensor);
     }},
    {"_PxExtract@28", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {W(pixels), 320, 480, 500, W(templ), W(&size), 0};
       return l.PxExtract(pixels, 320, 480, 500, templ, &size, 0);
     }},
    {"_PxVerify@16", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {W(templ), W(reference), W(&score), 0};
       return l.PxVerify(templ, reference, &score, 0);
     }},
    {"_PxBiometricDisplay@32", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {W(templ), W(pixels), 320, 480, 500, W(dc), W(&bitmap), static_cast<UINT_PTR>(-1)};
       return l.PxBiometricDisplay(templ, pixels, 320, 480, 500, dc, &bitmap, -1);
     }},
    {"_PxSetBiometricDisplayColors@24", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {0xFF, 0xFF00, 0x8080FF, 0x80FF80, 0x1FFFFFFF, 0x1FFFFFFF};
       return l.PxSetBiometricDisplayColors(0xFF, 0xFF00, 0x8080FF, 0x80FF80, 0x1FFFFFFF,
                                            0x1FFFFFFF);
     }},
    {"_PxGetPapylVersion@8", [](FingerprintLibrary& l, std::vector<UINT_PTR>& a) {
       a = {W(&first), W(&second)};
       return l.PxGetPapylVersion(&first, &second);
     }},
};

class Wrapper : public testing::TestWithParam<WrapperCase> {};

TEST_P(Wrapper, PassesItsArgumentsAndResultAndLooksUpOnce) {
  const WrapperCase& c = GetParam();
  GetProcAddressCounter counter;
  ASSERT_TRUE(counter.Installed());
  InspectableLibrary library;
  ASSERT_TRUE(library.SetFileName(StandInPath().c_str()));
  ASSERT_TRUE(library.Load(0));
  SimPapylControl control = StandInControl();
  control.Reset();
  control.SetResult(c.exportedName, 77);

  std::vector<UINT_PTR> expected;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(c.call(library, expected), 77) << c.exportedName;

  EXPECT_EQ(control.CallCount(c.exportedName), 3);
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(control.LastArgument(c.exportedName, static_cast<int>(i)), expected[i])
        << c.exportedName << " argument " << i;
  EXPECT_EQ(counter.LookupsOf(c.exportedName), 1) << "one lookup in the object's life";
  library.Unload();
}

TEST_P(Wrapper, AnswersMinusTwoWithoutALibraryAndLooksNothingUp) {
  GetProcAddressCounter counter;
  InspectableLibrary library;
  std::vector<UINT_PTR> unused;
  EXPECT_EQ(GetParam().call(library, unused), kLibraryMissing) << "never loaded";
  EXPECT_EQ(counter.LookupsOf(GetParam().exportedName), 0);

  ASSERT_TRUE(library.SetFileName(StandInPath().c_str()));
  ASSERT_TRUE(library.Load(0));
  library.Unload();
  EXPECT_EQ(GetParam().call(library, unused), kLibraryMissing) << "after the last unload";
}

TEST_P(Wrapper, AMissingEntryPointAnswersMinusTwoAndIsLookedUpOnce) {
  GetProcAddressCounter counter;
  InspectableLibrary library;
  // A library without any of the fingerprint entry points.
  ASSERT_TRUE(library.SetFileName(BinPath("msgina\\full\\MSGINA.DLL").c_str()));
  ASSERT_TRUE(library.Load(0));
  std::vector<UINT_PTR> unused;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(GetParam().call(library, unused), kLibraryMissing);
  EXPECT_EQ(counter.LookupsOf(GetParam().exportedName), 1);
}

INSTANTIATE_TEST_SUITE_P(FingerprintLibrary, Wrapper, testing::ValuesIn(kWrappers),
                         [](const testing::TestParamInfo<WrapperCase>& entry) {
                           std::string name = entry.param.exportedName;
                           return name.substr(1, name.find('@') - 1);
                         });

TEST(FingerprintLibrary, SetFileNameIsRefusedWhileLoadedAndKeepsTheOldName) {
  InspectableLibrary library;
  std::string path = StandInPath();
  ASSERT_TRUE(library.SetFileName(path.c_str()));
  EXPECT_NE(library.FileName(), path.c_str()) << "a private copy";
  ASSERT_TRUE(library.Load(0));
  EXPECT_FALSE(library.SetFileName("other.dll"));
  EXPECT_STREQ(library.FileName(), path.c_str());
}

TEST(FingerprintLibrary, ANullNameClearsTheNameAndNothingLoads) {
  InspectableLibrary library;
  ASSERT_TRUE(library.SetFileName(StandInPath().c_str()));
  EXPECT_TRUE(library.SetFileName(nullptr));
  EXPECT_EQ(library.FileName(), nullptr);
  EXPECT_FALSE(library.Load(0));
  EXPECT_EQ(library.LoadCount(), 1);
}

TEST(FingerprintLibrary, ASecondLoadCountsButAnswersFalse) {
  InspectableLibrary library;
  ASSERT_TRUE(library.SetFileName(StandInPath().c_str()));
  ASSERT_TRUE(library.Load(0));
  EXPECT_FALSE(library.Load(0));
  EXPECT_EQ(library.LoadCount(), 2);

  library.Unload();
  EXPECT_TRUE(StandInLoaded()) << "one unload of two leaves it loaded";
  EXPECT_EQ(library.PxInitialize(), 0);
  library.Unload();
  EXPECT_FALSE(StandInLoaded());
  EXPECT_EQ(library.FileName(), nullptr) << "the last unload forgets the name";
  EXPECT_FALSE(library.Load(0)) << "so it cannot load again";
}

TEST(FingerprintLibrary, UnloadWithoutLoadDoesNothing) {
  InspectableLibrary library;
  ASSERT_TRUE(library.SetFileName(StandInPath().c_str()));
  library.Unload();
  EXPECT_EQ(library.LoadCount(), 0);
  EXPECT_NE(library.FileName(), nullptr);
}

TEST(FingerprintLibrary, AMissingFileDoesNotLoad) {
  InspectableLibrary library;
  ASSERT_TRUE(library.SetFileName(BinPath("no-such-library.dll").c_str()));
  EXPECT_FALSE(library.Load(0));
  EXPECT_EQ(library.Module(), nullptr);
}

TEST(FingerprintLibrary, DeletionReleasesTheLibraryWhateverTheCount) {
  auto* library = new InspectableLibrary;
  ASSERT_TRUE(library->SetFileName(StandInPath().c_str()));
  ASSERT_TRUE(library->Load(0));
  library->Load(0);
  RuntimeLibrary* base = library;
  delete base;  // through the base, as the owner deletes it
  EXPECT_FALSE(StandInLoaded());
}

}  // namespace
