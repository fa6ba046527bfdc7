#pragma once

// What one call of a source procedure achieved. A source that had nothing to show makes the
// worker wait for a reason to try again instead of calling it again at once.
enum class SourceResult { Shown, NothingToShow };
