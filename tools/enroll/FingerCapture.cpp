// Enrolment by finger. The library reports readers and images on threads of its own; the
// capture queue hands them to this thread, which does all the work: starting capture,
// extracting, comparing and prompting.
#include "tools/enroll/FingerCapture.h"

#include "fingerprint/FingerprintLibrary.h"
#include "tools/enroll/CaptureQueue.h"
#include "tools/enroll/ToolPlaces.h"

namespace {

constexpr int kTemplateCapacity = 10000;

struct Enrolment {
  FingerprintLibrary* library;
  FILE* prompt;
  char reader[kReaderIdLength];  // the reader capturing; empty while waiting for one
  Bytes first;                   // the first placement of the pair; empty until taken
  Bytes* template1;
  Bytes* template2;
};

enum class Step { Ignored, Progress, Done };

void Say(FILE* prompt, const char* text) {
  fprintf(prompt, "%s\n", text);
  fflush(prompt);
}

// The template of one image; false when the library finds none.
bool Extract(FingerprintLibrary& library, const CaptureReport& image, Bytes& extracted) {
  if (!image.pixels) return false;
  extracted.assign(kTemplateCapacity, 0);
  int size = kTemplateCapacity;
  int result = library.PxExtract(image.pixels, image.width, image.height, image.resolution,
                                 extracted.data(), &size, 0);
  if (result < 0 || size <= 0 || size > kTemplateCapacity) return false;
  extracted.resize(static_cast<size_t>(size));
  return true;
}

Step TakePlacement(Enrolment& e, const CaptureReport& image) {
  Bytes extracted;
  if (!Extract(*e.library, image, extracted)) {
    Say(e.prompt, "That image could not be read; place the finger again.");
    return Step::Progress;
  }
  if (e.first.empty()) {
    e.first = extracted;
    Say(e.prompt, "Lift the finger, then place it on the reader again.");
    return Step::Progress;
  }
  int score = 0;
  if (e.library->PxVerify(extracted.data(), e.first.data(), &score, 0) <= 0) {
    // Which of the two was poor cannot be told: both go, and a new pair begins.
    e.first.clear();
    Say(e.prompt, "The two placements do not match; place the finger again.");
    return Step::Progress;
  }
  *e.template1 = e.first;
  *e.template2 = extracted;
  Say(e.prompt, "The two placements match.");
  return Step::Done;
}

Step TakeStatus(Enrolment& e, const CaptureReport& status) {
  if (status.status == SensorPlugged && !e.reader[0]) {
    lstrcpynA(e.reader, status.reader, kReaderIdLength);
    e.library->PxCapStartCapture(e.reader, IgnoreFingerEvent, QueueFingerImage);
    Say(e.prompt, "Place the finger on the reader.");
    return Step::Progress;
  }
  if (status.status == SensorUnplugged && e.reader[0] && lstrcmpA(e.reader, status.reader) == 0) {
    e.reader[0] = '\0';
    e.first.clear();
    Say(e.prompt, "The reader was unplugged. Waiting for a fingerprint reader...");
    return Step::Progress;
  }
  return Step::Ignored;
}

Step Take(Enrolment& e, const CaptureReport& report) {
  if (report.kind == CaptureReport::ReaderStatus) return TakeStatus(e, report);
  bool fromReader = e.reader[0] && lstrcmpA(e.reader, report.reader) == 0;
  return fromReader ? TakePlacement(e, report) : Step::Ignored;
}

std::string TimedOut(const Enrolment& e, DWORD limitMs) {
  DWORD seconds = limitMs / 1000;
  std::string within = std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
  return e.reader[0] ? "no finger was placed on the reader within " + within
                     : "no fingerprint reader was plugged in within " + within;
}

// Takes the library's reports until both templates are taken or a wait runs out. Each wait,
// for a reader or for a finger, starts again when something happens.
std::string RunCapture(Enrolment& e, const FingerCaptureSettings& settings) {
  Say(e.prompt, "Waiting for a fingerprint reader...");
  DWORD waitStart = GetTickCount();
  for (;;) {
    DWORD limit = e.reader[0] ? settings.fingerTimeoutMs : settings.readerTimeoutMs;
    DWORD waited = GetTickCount() - waitStart;
    CaptureReport report{};
    if (waited >= limit || !TakeCaptureReport(report, limit - waited)) return TimedOut(e, limit);
    Step step = Take(e, report);
    ReleaseReport(report);
    if (step == Step::Done) return std::string();
    if (step == Step::Progress) waitStart = GetTickCount();
  }
}

// The library is initialised, its capture layer runs for the capture and both end after it.
std::string CaptureWithLibrary(FingerprintLibrary& library, const FingerCaptureSettings& settings,
                               FILE* prompt, Bytes& template1, Bytes& template2) {
  int result = library.PxInitialize();
  if (result < 0) {
    return "the fingerprint library cannot be initialised (code " + std::to_string(result) + ")";
  }
  if (!OpenCaptureQueue()) {
    library.PxFinalize();
    return "cannot prepare for the fingerprint library's reports";
  }
  std::string problem;
  result = library.PxCapInitialize(QueueReaderStatus);
  if (result != 0) {
    problem =
        "the fingerprint library cannot start its readers (code " + std::to_string(result) + ")";
  } else {
    Enrolment e{&library, prompt, {}, Bytes(), &template1, &template2};
    problem = RunCapture(e, settings);
    library.PxCapFinalize();
  }
  library.PxFinalize();
  CloseCaptureQueue();
  return problem;
}

}  // namespace

std::string CaptureFingerTemplates(const FingerCaptureSettings& settings, FILE* prompt,
                                   Bytes& template1, Bytes& template2) {
  const std::string& folder = settings.libraryFolder;
  // The bare name could find another copy elsewhere on the search path: only the one beside the
  // tool will do.
  if (folder.empty() || !FileIsThere(JoinPath(folder, kFingerprintLibraryFile))) {
    return std::string("the fingerprint library ") + kFingerprintLibraryFile + " is not in " +
           (folder.empty() ? "the tool's folder" : folder);
  }
  char previous[MAX_PATH] = {};
  DWORD length = GetCurrentDirectoryA(MAX_PATH, previous);
  // As the module does: the library's folder is the current one while the library is in use.
  if (length == 0 || length >= MAX_PATH || !SetCurrentDirectoryA(folder.c_str())) {
    return "cannot make " + folder + " the current folder";
  }
  FingerprintLibrary library;
  std::string problem;
  if (!library.SetFileName(kFingerprintLibraryFile) || !library.Load(0)) {
    problem = std::string("cannot load the fingerprint library ") + kFingerprintLibraryFile +
              " from " + folder;
  } else {
    problem = CaptureWithLibrary(library, settings, prompt, template1, template2);
  }
  library.Unload();
  SetCurrentDirectoryA(previous);
  return problem;
}
