// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TSevenZipRun.h"

#include "engine/TSevenZip.h"

#include <cstring>

using namespace SevenZip;

TSevenZipRun::TSevenZipRun(std::atomic<bool>& ACancel)
  : FCancel(ACancel)
{}

std::deque<TSevenZipNotice> TSevenZipRun::Take()
{
  std::lock_guard lock(FLock);
  return std::exchange(FNotices, {});
}

void TSevenZipRun::WaitForNotice()
{
  std::unique_lock lock(FLock);
  FArrived.wait(lock, [this] { return !FNotices.empty(); });
}

HRESULT TSevenZipRun::CheckCancel()
{
  if (!Cancelled())
    return S_OK;
  if (!FCancelReported.exchange(true)) {
    const QString* file = CurrentFile();
    PostMessage(6, TSevenZip::MessageText(6), file ? *file : QString());
  }
  return E_ABORT;
}

void TSevenZipRun::ReportInputError(int AError, const QString& AFileName)
{
  int none = 0;
  if (!FInputError.compare_exchange_strong(none, AError))
    return;
  PostMessage(12,
              TSevenZip::MessageText(12) + QStringLiteral(": ") + AFileName + QStringLiteral(" (") +
                  QString::fromLocal8Bit(std::strerror(AError)) + QLatin1Char(')'),
              AFileName);
}

void TSevenZipRun::PostPreProgress(UInt64 ATotal)
{
  TSevenZipNotice notice;
  notice.Kind = TSevenZipNotice::nkPreProgress;
  notice.Value = ATotal;
  Push(std::move(notice), false);
}

void TSevenZipRun::PostStreamOpened(UInt32 AIndex, const QString& AFileName, UInt64 ASize, UInt64 AStart)
{
  TSevenZipNotice notice;
  notice.Kind = TSevenZipNotice::nkStreamOpened;
  notice.Index = AIndex;
  notice.FileName = AFileName;
  notice.Size = ASize;
  notice.Value = AStart;
  Push(std::move(notice), false);
}

void TSevenZipRun::PostProgress(UInt64 ACompleted)
{
  TSevenZipNotice notice;
  notice.Kind = TSevenZipNotice::nkProgress;
  notice.Value = ACompleted;
  Push(std::move(notice), true);
}

void TSevenZipRun::PostMessage(int ACode, const QString& AText, const QString& AFileName)
{
  TSevenZipNotice notice;
  notice.Kind = TSevenZipNotice::nkMessage;
  notice.Code = ACode;
  notice.Text = AText;
  notice.FileName = AFileName;
  Push(std::move(notice), false);
}

void TSevenZipRun::PostFinished(HRESULT AResult)
{
  TSevenZipNotice notice;
  notice.Kind = TSevenZipNotice::nkFinished;
  notice.Result = AResult;
  Push(std::move(notice), false);
}

bool TSevenZipRun::PostCompressedAndWait()
{
  TSevenZipNotice notice;
  notice.Kind = TSevenZipNotice::nkCompressed;
  Push(std::move(notice), false);
  std::unique_lock lock(FLock);
  FDecided.wait(lock, [this] { return FDecision >= 0; });
  return FDecision == 1;
}

void TSevenZipRun::Decide(bool AKeep)
{
  {
    std::lock_guard lock(FLock);
    FDecision = AKeep ? 1 : 0;
  }
  FDecided.notify_all();
}

void TSevenZipRun::Push(TSevenZipNotice&& ANotice, bool AMergeProgress)
{
  // Each wake costs the waiting thread a turn through the component's events.
  static constexpr std::chrono::milliseconds WakeInterval(20);
  const bool routine = ANotice.Kind == TSevenZipNotice::nkProgress || ANotice.Kind == TSevenZipNotice::nkStreamOpened;
  const auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard lock(FLock);
    if (AMergeProgress && !FNotices.empty() && FNotices.back().Kind == TSevenZipNotice::nkProgress) {
      // Progress reports arrive from several threads; the figure only grows.
      FNotices.back().Value = std::max(FNotices.back().Value, ANotice.Value);
    } else {
      FNotices.push_back(std::move(ANotice));
    }
    if (routine && now - FLastWake < WakeInterval)
      return;
    FLastWake = now;
  }
  FArrived.notify_one();
}
