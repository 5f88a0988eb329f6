#pragma once
// A window's message map, the same for every back end: the handler of each
// control's command (WM_COMMAND's id and code) and notification (WM_NOTIFY's).

#include <functional>
#include <map>
#include <utility>

class CMessageMap {
public:
    void MapCommand(int id, int code, std::function<void()> handler) { commands[{id, code}] = std::move(handler); }
    void MapNotify(int id, int code, std::function<void()> handler) { notifies[{id, code}] = std::move(handler); }
    bool HasCommand(int id, int code) const { return commands.count({id, code}) != 0; }
    // Runs the mapped handler, if any; false when there is none.
    bool RunCommand(int id, int code) const { return Run(commands, id, code); }
    bool RunNotify(int id, int code) const { return Run(notifies, id, code); }

private:
    using Map = std::map<std::pair<int, int>, std::function<void()>>;
    static bool Run(const Map& map, int id, int code) {
        auto it = map.find({id, code});
        if (it == map.end()) return false;
        auto handler = it->second;  // the handler may remap
        handler();
        return true;
    }

    Map commands, notifies;
};
