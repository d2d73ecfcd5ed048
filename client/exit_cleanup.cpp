#include "client/exit_cleanup.h"

#include "app/failure_report.h"
#include "app/main_window.h"
#include "app/paced_wait.h"
#include "client/client_files.h"

namespace kestrane {

// Leaves the folder with only the client's own files, "l2.ini" as the backup had it.
// The backup's presence is tested again after the pause, as something else may have
// removed it meanwhile.
void ExitClick() {
  if (!BeginAction(5)) return;
  auto& platform = Form1.Platform();
  SetButtonsEnabled(false);
  Must(RemoveWorkFile(platform));
  Must(RestoreSettingsFromBackup(platform));
  WaitSeconds(5);
  Must(RemoveSettingsBackup(platform));
  EndAction();
}

}  // namespace kestrane
