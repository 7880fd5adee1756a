#include "common/message_box.h"

void ShowMessage(const char* text, UINT icon) {
  MessageBoxA(nullptr, text, "Quendrix", MB_OK | icon);
}
