#pragma once

#include <QString>

// Starting the program with the desktop session.
class Autostart {
public:
    virtual ~Autostart() = default;
    // Writes (on) or removes (off) the entry that starts the program at log-in.
    // Returns false when the entry could not be written or removed.
    virtual bool setEnabled(bool on, const QString& programPath) = 0;
    virtual bool isEnabled() const = 0;
};
