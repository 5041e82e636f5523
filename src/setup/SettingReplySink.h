#pragma once
// Where the user setup reply thread delivers each decoded reply. The call is synchronous: it
// returns when the reply has been applied on the screen's thread (or was dropped because the
// screen is ending the thread), so the reply thread parses on only afterwards.
#include "setup/SettingReplyParser.h"

namespace korva {

class SettingReplySink {
public:
    virtual ~SettingReplySink() = default;
    // Called on the reply thread.
    virtual void onSettingReply(const SettingReply& reply) = 0;
};

} // namespace korva
