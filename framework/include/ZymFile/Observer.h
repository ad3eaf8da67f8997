#pragma once

#include <Zym/Export.h>

#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>
#include <ZymFile/DeviceEvent.h>
#include <ZymFile/Path.h>

#include <string>
#include <vector>

namespace ZymFile {

// What a directory observer calls back, on its own listener thread and one
// call at a time. Shared through Zym::SmartPtr.
class ZYM_EXPORT ObserverCallInterface : public Zym::SPRefCounter {
public:
    // A read of the watched directory `sourceId` failed; `message` is the
    // system text of the error. The source reports nothing more afterwards.
    virtual void ErrorOccurred(const PathT<char16_t>& path, long sourceId,
                               const std::u16string& message) = 0;
    // One batch of changes, in the order the system reported them; may be
    // empty when the system lost track of the changes. The vector is valid
    // during the call only.
    virtual void EventsOccurred(std::vector<DeviceEvent>& events) = 0;
};

// Watches directories and tells an observer about their changes. The
// callbacks must not attach, detach or destroy the object that calls them.
class ZYM_EXPORT DirectoryObserverCallInterface {
public:
    virtual ~DirectoryObserverCallInterface() = default;
    // Starts watching `path` (and its whole subtree with `recurse`); returns
    // the new source's id, counting from 1. Raises when the directory cannot
    // be opened (that id is then used up).
    virtual long AttachObserver(const std::u16string& path, bool recurse,
                                const Zym::SmartPtr<ObserverCallInterface>& observer) = 0;
    // Stops watching; once it returns no more batches come for `id`. An id
    // that is not attached is ignored.
    virtual void DetachObserver(long id) = 0;
};

} // namespace ZymFile
