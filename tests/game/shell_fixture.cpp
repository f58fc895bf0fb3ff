#include "tests/game/shell_fixture.h"

std::vector<RecordedEvent>* ShellTest::events = nullptr;
