// What one event report costs under Wine: on the reporting thread (Winlogon's or the fingerprint
// library's), which only queues it, and on the module's worker, which writes it through the event
// log calls. Not a test: run it under 64-bit Wine (scripts/bench-wine.sh) and read the figures.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "resources/EventLog.h"
#include "resources/EventSource.h"

namespace {

constexpr int kRepeats = 200;
constexpr int kBurst = 16;  // within the queue's length

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

void Print(const char* what, const std::vector<double>& samples) {
  std::printf("%-62s median %8.1f us, max %8.1f us (%zu runs)\n", what, Median(samples),
              *std::max_element(samples.begin(), samples.end()), samples.size());
}

void WriteDirectly() {
  const char* strings[] = {"reader-1"};
  std::vector<double> whole, reportOnly;
  HANDLE kept = RegisterEventSourceA(nullptr, kEventSourceName);
  for (int i = 0; i < kRepeats; ++i) {
    double start = Now();
    HANDLE source = RegisterEventSourceA(nullptr, kEventSourceName);
    ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, EVENT_READER_PLUGGED, nullptr, 1, 0,
                 strings, nullptr);
    DeregisterEventSource(source);
    whole.push_back(Now() - start);
    start = Now();
    ReportEventA(kept, EVENTLOG_INFORMATION_TYPE, 0, EVENT_READER_PLUGGED, nullptr, 1, 0, strings,
                 nullptr);
    reportOnly.push_back(Now() - start);
  }
  DeregisterEventSource(kept);
  Print("worker: register, report, deregister (one event alone)", whole);
  Print("worker: ReportEventA alone", reportOnly);
}

void ReportThroughTheQueue() {
  std::vector<double> first, queued;
  for (int i = 0; i < kRepeats / 10; ++i) {
    for (int j = 0; j < kBurst; ++j) {
      double start = Now();
      ReportModuleEvent(EVENT_READER_PLUGGED, "reader-1");
      (j == 0 ? first : queued).push_back(Now() - start);
    }
    Sleep(50);  // the worker writes the burst and waits for the next
  }
  // Linked into this program, the worker never ends: the first burst starts it (the max), the
  // others wake it.
  Print("reporting thread: first report of a burst (wakes the worker)", first);
  Print("reporting thread: a report while the worker runs (queued)", queued);
}

}  // namespace

int main() {
  std::printf("One event report under Wine (which keeps no event log: its calls return at once)\n");
  WriteDirectly();
  ReportThroughTheQueue();
  return 0;
}
