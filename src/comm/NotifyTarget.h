#pragma once
// The data-arrived notification of the receive threads. A receive thread calls onDataArrived()
// synchronously after each batch it queued and reads on only when the call has returned, so
// the target handles every batch before the next one arrives. The call comes on the receive
// thread: a GUI target hands it to its own thread with a blocking queued call.

namespace korva {

class NotifyTarget {
public:
    virtual ~NotifyTarget() = default;
    virtual void onDataArrived() = 0;
};

} // namespace korva
