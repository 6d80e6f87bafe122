#include "fingerprint/FingerImage.h"

#include <cstring>
#include <new>

#include "accounts/AccountStore.h"
#include "accounts/TemplateScan.h"
#include "fingerprint/CaptureGate.h"
#include "fingerprint/CaptureState.h"
#include "fingerprint/FingerprintLibrary.h"
#include "fingerprint/FingerprintMatch.h"
#include "fingerprint/Identification.h"
#include "fingerprint/PictureScaling.h"
#include "fingerprint/NoticeMail.h"
#include "fingerprint/SensorPicture.h"

namespace {

// The extraction buffer holds a whole template: as much as the library may read of one.
constexpr int kTemplateCapacity = static_cast<int>(kTemplateRoom);
constexpr WORD kPictureSide = 150;
constexpr int kDrawAlone = -1;
constexpr int kDrawWithLastMatch = 0;
constexpr int kBlinks = 5;

// One finger image is handled at a time.
volatile LONG imageLock;

struct FingerImage {
  int width;
  int height;
  const unsigned char* pixels;
  int resolution;
};

// Zeroed, so that a failed extraction hands the drawing call no stale bytes.
TemplateBuffer* NewExtractionBuffer() {
  auto* record = new (std::nothrow) TemplateBuffer{nullptr, kTemplateCapacity};
  if (record) record->data = new (std::nothrow) BYTE[kTemplateCapacity]();
  if (record && !record->data) {
    delete record;
    record = nullptr;
  }
  return record;
}

// The library reads a template as far as the template's own header says, never knowing the
// value's size: a short stored value goes to it in a buffer as big as any template, zero beyond
// the stored bytes.
BYTE* RoomyCopy(const TemplateBuffer* stored) {
  DWORD size = stored->size > 0 ? static_cast<DWORD>(stored->size) : 0;
  DWORD room = size > kTemplateRoom ? size : kTemplateRoom;
  BYTE* copy = new (std::nothrow) BYTE[room]();
  if (copy && size) std::memcpy(copy, stored->data, size);
  return copy;
}

// The image drawn by the library, with its features (and with the last match on context 0),
// rescaled for the notice; null when the library gave no bitmap or rescaling failed.
HBITMAP DrawFinger(const TemplateBuffer* extracted, const FingerImage& image, int matchContext) {
  FingerprintLibrary* library = captureState.library;
  HDC screen = GetDC(nullptr);
  library->PxSetBiometricDisplayColors(0x000000FF, 0x0000FF00, 0x008080FF, 0x0080FF80,
                                       0x1FFFFFFF, 0x1FFFFFFF);
  HBITMAP drawn = nullptr;
  library->PxBiometricDisplay(extracted->data, image.pixels, image.width, image.height,
                              image.resolution, screen, &drawn, matchContext);
  ReleaseDC(nullptr, screen);
  if (!drawn) return nullptr;
  HBITMAP scaled = ScaleBitmap(drawn, kPictureSide, kPictureSide);
  DeleteObject(drawn);
  return scaled;
}

// The notice takes its own copy of a picture, so the callback can show the same one again.
void PostCopy(HBITMAP picture, CaptureTicket ticket) {
  HANDLE copy = CopyImage(picture, IMAGE_BITMAP, 0, 0, 0);
  if (copy) PostNoticePicture(static_cast<HBITMAP>(copy), ticket);
}

// Identifies the template and records the outcome; true when this image matched an account.
bool Identify(const TemplateBuffer* extracted, CaptureTicket ticket) {
  char* name = nullptr;
  if (IdentifyFingerprint(extracted, &name, ticket) != 0) {
    RecordMatch(nullptr, nullptr, ticket);
    return false;
  }
  char* password = nullptr;
  if (ReadMatchedPassword(name, &password) != 0) password = nullptr;
  bool matched = RecordMatch(name, password, ticket);
  ReleasePassword(password);
  ReleaseUserName(name);
  return matched;
}

// Verifies against the matched account's Template1 again, which leaves the match on context 0
// for the drawing; false without that template.
bool VerifyForPicture(const TemplateBuffer* extracted, CaptureTicket ticket) {
  TemplateBuffer* reference = nullptr;
  bool read = ReadTemplate(CandidateUser(), &reference, 1) == 0 && reference->data;
  BYTE* roomy = read ? RoomyCopy(reference) : nullptr;
  ReleaseTemplate(reference);
  if (roomy && GateOpenFor(ticket)) {
    int score = 0;
    captureState.library->PxVerify(extracted->data, roomy, &score, 0);
  }
  bool verified = roomy != nullptr;
  delete[] roomy;
  return verified;
}

// The image with the matched account's features, blinking against the plain one (when there is
// one) with short beeps, and left showing.
void ShowMatch(const TemplateBuffer* extracted, const FingerImage& image, HBITMAP plain,
               CaptureTicket ticket) {
  if (!VerifyForPicture(extracted, ticket) || !GateOpenFor(ticket)) return;
  HBITMAP match = DrawFinger(extracted, image, kDrawWithLastMatch);
  if (!match) return;
  for (int blink = 0; blink < kBlinks && GateOpenFor(ticket); ++blink) {
    if (plain) PostCopy(plain, ticket);
    Beep(800, 40);
    PostCopy(match, ticket);
    Sleep(40);
  }
  DeleteObject(match);
}

void ReportNoMatch(CaptureTicket ticket) {
  ShowCaptureMessage(MsgFingerprintNotFound, MB_ICONWARNING, ticket);
  if (GateOpenFor(ticket)) PostNoticePicture(LoadSensorPicture(false), ticket);
}

// Everything but the message box runs under the image lock: the library keeps one match for its
// display, so two readers' images are handled one after the other. Every library call is made
// while the callback's session is still the open one.
void HandleImage(const FingerImage& image, CaptureTicket ticket) {
  if (FingerprintMatched()) return;
  if (!LockWhileOpen(&imageLock, ticket)) return;
  TemplateBuffer* extracted = NewExtractionBuffer();
  bool matched = false;
  bool stopped = !extracted;
  if (extracted) {
    int extraction = captureState.library->PxExtract(image.pixels, image.width, image.height,
                                                  image.resolution, extracted->data,
                                                  &extracted->size, 0);
    HBITMAP plain = GateOpenFor(ticket) ? DrawFinger(extracted, image, kDrawAlone) : nullptr;
    if (plain) PostCopy(plain, ticket);
    stopped = !PauseWhileOpen(500, ticket);
    if (!stopped && extraction >= 0) matched = Identify(extracted, ticket);
    if (matched) ShowMatch(extracted, image, plain, ticket);
    if (plain) DeleteObject(plain);
  }
  ReleaseTemplate(extracted);
  Unlock(&imageLock);
  if (stopped || !GateOpenFor(ticket)) return;
  if (matched)
    AnnounceMatch(ticket);
  else if (!FingerprintMatched())
    ReportNoMatch(ticket);
}

}  // namespace

void WINAPI OnFingerImage(const char*, int width, int height, const unsigned char* pixels,
                          int resolution) {
  CaptureTicket ticket = EnterCallback();
  if (ticket == kNoSession) return;
  HandleImage(FingerImage{width, height, pixels, resolution}, ticket);
  LeaveCallback();
}
