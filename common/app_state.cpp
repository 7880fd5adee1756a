#include "common/app_state.h"

AppState app;

void ReleaseMapPreview() {
  if (app.mapBitmap != nullptr) DeleteObject(app.mapBitmap);
  app.mapBitmap = nullptr;
}
