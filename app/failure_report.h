#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/box_catalogue.h"
#include "platform/platform_ops.h"

namespace kestrane {

// The box's text for a failure, where the settings stand as given (for tests and reports).
std::string DescribeFailure(const Failure& failure, Standing standing = Standing::BackupKept);
// What Kestrane knows of the stored settings if it ended now: what this action has done to
// "l2.ini", and whether "l2.bak" is there (asked afresh; a query that cannot tell is Unknown).
SettingsFacts FactsNow(PlatformOps& platform, const Failure& failure);
// Shows the failure's box, composed from the catalogue in the player's button names.
BoxChoice ShowFailure(PlatformOps& platform, const Failure& failure, Standing standing, RetryOffer retry);
// The one way an action stops: it puts "l2.ini" back where the action's step says it may
// hold patched settings, reports the failure, and ends the program.
// Facts given are what the caller knows better, where the step leaves nothing to put back.
[[noreturn]] void StopWithFailure(Failure failure, std::optional<SettingsFacts> facts = std::nullopt);
// Goes on when the step succeeded, else stops with its failure.
void Must(const OpResult& result);

// How long a file held by another program is tried again before the player is asked.
inline constexpr int kInUseRetryMilliseconds = 4000;
inline constexpr int kInUseRetryStepMilliseconds = 250;

// Tries the step again while it fails because another program holds the file, for up to
// kInUseRetryMilliseconds, with the window handling its events meanwhile.
OpResult RetryWhileInUse(PlatformOps& platform, const std::function<OpResult()>& step);

// A copy, read, replace or delete: tried again while another program holds the file
// briefly, then, while it still fails, the player chooses Retry or Cancel. Empty once it
// succeeded; on Cancel, the failure, marked as shown. A refusal that may be the folder's is
// looked into first; one that Retry cannot mend is returned unasked, with its way out.
OpResult FileStep(PlatformOps& platform, const std::function<OpResult()>& step);

// An existence query as a file step: a query that cannot tell is retried or asked about,
// never taken for "no file".
OpResult ExistsStep(PlatformOps& platform, std::string_view path, bool& exists);

// A read as a file step: bytes holds the file's bytes once it succeeded.
OpResult ReadStep(PlatformOps& platform, std::string_view path, std::string& bytes);

}  // namespace kestrane
