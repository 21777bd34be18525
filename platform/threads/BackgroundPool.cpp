#include "platform/threads/BackgroundPool.h"

QThreadPool& BackgroundPool::instance()
{
    static QThreadPool pool;
    return pool;
}
