#include "core/queue.h"

int g_queueCount;
int g_queueIndex = -1;

namespace {

WCHAR g_queueText[QUEUE_TEXT_CAPACITY + QUEUE_FILE_CAPACITY];  // the paths, each with its NUL
int g_queueStarts[QUEUE_FILE_CAPACITY];
int g_queueTextUsed;

} // namespace

void QueueClear()
{
    g_queueCount = 0;
    g_queueIndex = -1;
    g_queueTextUsed = 0;
}

BOOL QueueAppend(const WCHAR* path)
{
    int length = 0;
    while (length < MEDIA_PATH_CAPACITY && path[length]) ++length;
    int room = int(sizeof g_queueText / sizeof g_queueText[0]) - g_queueTextUsed;
    if (length == 0) return TRUE;
    if (g_queueCount == QUEUE_FILE_CAPACITY || length >= room) return FALSE;
    g_queueStarts[g_queueCount++] = g_queueTextUsed;
    g_queueTextUsed += CopyText(g_queueText + g_queueTextUsed, length + 1, path) + 1;
    return TRUE;
}

const WCHAR* QueuePath(int index)
{
    return g_queueText + g_queueStarts[index];
}

int QueuePreviousIndex(LONGLONG position)
{
    return g_queueIndex > 0 && position < PREVIOUS_FILE_WINDOW ? g_queueIndex - 1 : g_queueIndex;
}
