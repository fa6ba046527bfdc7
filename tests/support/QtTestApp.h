#pragma once

// Makes sure a QApplication exists for tests that create widgets. It draws offscreen unless
// the test run chose another platform.
void ensureQtApplication();
