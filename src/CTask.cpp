#include "CTask.h"

bool CTask::IsComplete() const { return DownloadedPos.load() == EndPos; }
