#pragma once

#include <QByteArray>
#include <QtGlobal>

// One environment variable, set (or removed) for the guard's lifetime; what
// was there before comes back when it ends, even when a test returns early.
class ScopedEnv
{
public:
    // Removes the variable.
    explicit ScopedEnv(const char *name)
        : name(name), had(qEnvironmentVariableIsSet(name)), before(qgetenv(name))
    {
        qunsetenv(name);
    }
    // Sets it; a null value removes it.
    ScopedEnv(const char *name, const QByteArray &value) : ScopedEnv(name)
    {
        if (!value.isNull())
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had)
            qputenv(name, before);
        else
            qunsetenv(name);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *name;
    bool had;
    QByteArray before;
};
