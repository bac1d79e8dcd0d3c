#ifndef MAPKEYS_H
#define MAPKEYS_H

#include <QString>
#include <QStringList>

// The keys a map line may hold, and what to say about one it may not: a
// misspelt key would otherwise leave its row with a format nobody meant.
const QStringList &settingsKeys();
const QStringList &registerKeys();

// The known key that `key` most likely misspells (same letters in another
// case, or one or two letters off); empty when none is close.
QString likelyKey(const QString &key, const QStringList &known);

// "unknown key 'Type' (did you mean 'type'?)", or the known keys listed
// when none is close.
QString unknownKeyProblem(const QString &key, const QStringList &known);

#endif // MAPKEYS_H
