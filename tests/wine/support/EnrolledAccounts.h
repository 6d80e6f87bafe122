// The account store as the tests fill it: emptied before and after each test, and accounts
// enrolled with templates that the stand-in fingerprint library extracts from its own fingers.
#pragma once

#include <windows.h>

#include <string>

#include "accounts/StoreFormat.h"
#include "sim/papyl/StandInPapylControl.h"

// Placements of each finger kept for enrolment; what readers deliver starts at placement 0.
constexpr int kEnrolPlacement1 = 49;
constexpr int kEnrolPlacement2 = 50;
constexpr int kNoFinger = 0;

class EnrolledAccounts {
 public:
  // Without the stand-in library only login modes can be enrolled.
  explicit EnrolledAccounts(SimPapylControl* papyl = nullptr) : papyl_(papyl) { Clear(); }
  ~EnrolledAccounts() { Clear(); }
  EnrolledAccounts(const EnrolledAccounts&) = delete;
  EnrolledAccounts& operator=(const EnrolledAccounts&) = delete;

  // An account whose templates come from finger1 and finger2 (kNoFinger: that value is left
  // out); a null password leaves CPD out.
  void Enrol(const std::string& name, LoginMode mode, int finger1, int finger2,
             const char* password);
  void Enrol(const std::string& name, LoginMode mode, int finger, const char* password) {
    Enrol(name, mode, finger, finger, password);
  }
  // An account with its Login value only.
  static void EnrolMode(const std::string& name, DWORD mode);
  // Every account of the store removed (the store key itself stays).
  static void Clear();

 private:
  SimPapylControl* papyl_;
};

// The stand-in fingerprint library loaded in this process, bound; fails the test when absent.
SimPapylControl BindLoadedPapyl();
