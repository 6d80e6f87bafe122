#include "fingerprint/FingerImage.h"

// The header declares the GINA entry points without C linkage; they are C functions.
extern "C" {
#include <winwlx.h>
}

#include <cstring>
#include <new>

#include "accounts/AccountStore.h"
#include "fingerprint/CaptureGate.h"
#include "fingerprint/FingerprintLibrary.h"
#include "fingerprint/Identification.h"
#include "fingerprint/PictureScaling.h"
#include "fingerprint/SensorPicture.h"
#include "gina/GinaState.h"

namespace {

constexpr int kTemplateCapacity = 10000;
constexpr WORD kPictureSide = 150;
constexpr int kDrawAlone = -1;
constexpr int kDrawWithLastMatch = 0;
constexpr int kBlinks = 5;

struct FingerImage {
  int width;
  int height;
  const unsigned char* pixels;
  int resolution;
};

TemplateBuffer* NewExtractionBuffer() {
  auto* record = new (std::nothrow) TemplateBuffer{nullptr, kTemplateCapacity};
  if (record) record->data = new (std::nothrow) BYTE[kTemplateCapacity];
  if (record && !record->data) {
    delete record;
    record = nullptr;
  }
  return record;
}

// The image drawn by the library, with its features (and with the last match on context 0),
// rescaled for the notice; null when the library gave no bitmap or rescaling failed.
HBITMAP DrawFinger(const TemplateBuffer* extracted, const FingerImage& image, int matchContext) {
  FingerprintLibrary* library = GinaState.library;
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

size_t TextLength(const char* text) { return text ? std::strlen(text) : kTextFieldSize; }

// Writes the outcome of one image, unless capture has stopped or an earlier image matched. A name
// or password that does not fit its field is never cut to fit: that counts as no match.
bool RecordOutcome(const char* name, const char* password) {
  if (!LockWhileOpen(&GinaState.gate.recordLock)) return false;
  bool matched = false;
  if (!GinaState.fingerprintMatched) {
    WipeTextField(GinaState.candidateUser);
    WipeTextField(GinaState.candidatePassword);
    if (TextLength(name) < kTextFieldSize) CopyTextField(GinaState.candidateUser, name);
    matched = TextLength(name) < kTextFieldSize && TextLength(password) < kTextFieldSize;
    if (matched) CopyTextField(GinaState.candidatePassword, password);
    GinaState.fingerprintMatched = matched;
  }
  Unlock(&GinaState.gate.recordLock);
  return matched;
}

// Identifies the template and records the outcome; true when this image matched an account.
bool Identify(const TemplateBuffer* extracted) {
  char* name = nullptr;
  if (IdentifyFingerprint(extracted, &name) != 0) {
    RecordOutcome(nullptr, nullptr);
    return false;
  }
  char* password = nullptr;
  if (ReadMatchedPassword(name, &password) != 0) password = nullptr;
  bool matched = RecordOutcome(name, password);
  ReleasePassword(password);
  ReleaseUserName(name);
  return matched;
}

// The image with the matched account's features, blinking against the plain one (when it is
// shown) with short beeps, and left showing. Without Template1 of the account there is no match
// picture. A notice that closes meanwhile deletes what it shows; the other picture is ours.
void ShowMatch(const TemplateBuffer* extracted, const FingerImage& image, HBITMAP plain) {
  TemplateBuffer* reference = nullptr;
  bool read = ReadTemplate(GinaState.candidateUser, &reference, 1) == 0 && reference->data;
  if (read) {
    int score = 0;
    GinaState.library->PxVerify(extracted->data, reference->data, &score, 0);
  }
  ReleaseTemplate(reference);
  HBITMAP match = read && CaptureGateOpen() ? DrawFinger(extracted, image, kDrawWithLastMatch)
                                            : nullptr;
  if (!match) return;
  HBITMAP shown = plain;
  HBITMAP previous;
  for (int blink = 0; blink < kBlinks && CaptureGateOpen(); ++blink) {
    if (plain && !SwapNoticePicture(plain, &previous)) break;
    if (plain) shown = plain;
    Beep(800, 40);
    if (!SwapNoticePicture(match, &previous)) break;
    shown = match;
    Sleep(40);
  }
  if (shown != match && !SwapNoticePicture(match, &previous)) {
    DeleteObject(match);
    return;
  }
  if (plain) DeleteObject(plain);
}

void RaiseSas() {
  if (!LockWhileOpen(&GinaState.gate.recordLock)) return;
  auto* winlogon = static_cast<PWLX_DISPATCH_VERSION_1_0>(GinaState.winlogonFunctions);
  if (winlogon && winlogon->WlxSasNotify)
    winlogon->WlxSasNotify(GinaState.hWlx, WLX_SAS_TYPE_CTRL_ALT_DEL);
  Unlock(&GinaState.gate.recordLock);
}

void ReportNoMatch() {
  ShowCaptureMessage(MsgFingerprintNotFound, MB_ICONWARNING);
  if (CaptureGateOpen()) ShowNoticePicture(LoadSensorPicture(false));
}

// Everything but the message box runs under the image lock: the library keeps one match for its
// display, so two readers' images are handled one after the other.
void HandleImage(const FingerImage& image) {
  if (GinaState.fingerprintMatched) return;
  if (!LockWhileOpen(&GinaState.gate.imageLock)) return;
  TemplateBuffer* extracted = NewExtractionBuffer();
  bool matched = false;
  bool stopped = !extracted;
  if (extracted) {
    int extraction = GinaState.library->PxExtract(image.pixels, image.width, image.height,
                                                  image.resolution, extracted->data,
                                                  &extracted->size, 0);
    HBITMAP plain = DrawFinger(extracted, image, kDrawAlone);
    if (plain && !ShowNoticePicture(plain)) plain = nullptr;
    stopped = !PauseWhileOpen(500);
    if (!stopped && extraction >= 0) matched = Identify(extracted);
    if (matched) ShowMatch(extracted, image, plain);
  }
  ReleaseTemplate(extracted);
  Unlock(&GinaState.gate.imageLock);
  if (stopped || !CaptureGateOpen()) return;
  if (matched)
    RaiseSas();
  else if (!GinaState.fingerprintMatched)
    ReportNoMatch();
}

}  // namespace

void WINAPI OnFingerImage(const char*, int width, int height, const unsigned char* pixels,
                          int resolution) {
  if (!EnterCallback()) return;
  HandleImage(FingerImage{width, height, pixels, resolution});
  LeaveCallback();
}
