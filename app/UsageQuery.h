#pragma once

#include "app/CommandLine.h"

#include <QDateTime>
#include <filesystem>

// Answers `quillmar --status [--json]` and `--history --csv` from the settings store, opened
// read-only beside a running program: no display, no lock, nothing created. Exit code 0 with the
// answer, 1 with the reason when there is no store or it cannot be read.
CommandLine AnswerUsageQuery(UsageQuery query, const std::filesystem::path& storeFile,
                             const QDateTime& now);
