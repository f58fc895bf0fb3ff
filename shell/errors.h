// Error boxes: start-up and level-start failures shown in a message box.
#pragma once

// A message box without owner, captioned "Marovant Error !", with an OK button.
int MV2ErrorBox(const char* text);
