<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Movara</name>
    <message>
        <source>Main Page</source>
        <translation>Übersicht</translation>
    </message>
    <message>
        <source>&lt;qt&gt;&lt;center&gt;&lt;b&gt;Movara 0.0.1a&lt;/b&gt;&lt;br /&gt;The MPlayer Frontend&lt;br /&gt;&lt;br /&gt;Plays the phone&apos;s video and audio&lt;br /&gt;through MPlayer, a folder at a time.&lt;br /&gt;&lt;br /&gt;Free software, without any warranty.&lt;/center&gt;&lt;/qt&gt;</source>
        <translation>&lt;qt&gt;&lt;center&gt;&lt;b&gt;Movara 0.0.1a&lt;/b&gt;&lt;br /&gt;Das Frontend für MPlayer&lt;br /&gt;&lt;br /&gt;Spielt Videos und Audiodateien&lt;br /&gt;des Telefons mit MPlayer ab,&lt;br /&gt;einen Ordner nach dem anderen.&lt;br /&gt;&lt;br /&gt;Freie Software,&lt;br /&gt;ohne jede Gewährleistung.&lt;/center&gt;&lt;/qt&gt;</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cannot play %1</source>
        <translation>Nicht abspielbar: %1</translation>
    </message>
    <message>
        <source>Cannot play %1 and %2 more</source>
        <translation>%1 und %2 weitere nicht abspielbar</translation>
    </message>
    <message>
        <source>Not found: %1</source>
        <translation>Nicht gefunden: %1</translation>
    </message>
    <message>
        <source>Not found: %1 and %2 more</source>
        <translation>Nicht gefunden: %1 und %2 weitere</translation>
    </message>
    <message>
        <source>Only the first %1 entries play</source>
        <translation>Nur die ersten %1 Einträge werden abgespielt</translation>
    </message>
    <message>
        <source>Play ticked</source>
        <translation>Markierte abspielen</translation>
    </message>
    <message>
        <source>Tick all</source>
        <translation>Alle markieren</translation>
    </message>
    <message>
        <source>Clear all</source>
        <translation>Alle abwählen</translation>
    </message>
    <message>
        <source>Save ticked as playlist</source>
        <translation>Markierte als Playlist speichern</translation>
    </message>
    <message>
        <source>Resume: on</source>
        <translation>Fortsetzen: ein</translation>
    </message>
    <message>
        <source>Resume: off</source>
        <translation>Fortsetzen: aus</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Weiterspielen</translation>
    </message>
    <message>
        <source>Sleep timer: end of file</source>
        <translation>Schlaf-Timer: Dateiende</translation>
    </message>
    <message>
        <source>Sleep timer: %1 min</source>
        <translation>Schlaf-Timer: %1 min</translation>
    </message>
    <message>
        <source>Sleep timer: off</source>
        <translation>Schlaf-Timer: aus</translation>
    </message>
    <message>
        <source>Shuffle: on</source>
        <translation>Zufall: ein</translation>
    </message>
    <message>
        <source>Shuffle: off</source>
        <translation>Zufall: aus</translation>
    </message>
    <message>
        <source>Repeat: one</source>
        <translation>Wiederholen: einen</translation>
    </message>
    <message>
        <source>Repeat: all</source>
        <translation>Wiederholen: alle</translation>
    </message>
    <message>
        <source>Repeat: off</source>
        <translation>Wiederholen: aus</translation>
    </message>
    <message>
        <source>Cannot keep places: %1</source>
        <translation>Stellen nicht speicherbar: %1</translation>
    </message>
    <message>
        <source>Nothing is ticked</source>
        <translation>Nichts markiert</translation>
    </message>
    <message>
        <source>Cannot save the playlist</source>
        <translation>Playlist kann nicht gespeichert werden</translation>
    </message>
    <message>
        <source>Saved as %1</source>
        <translation>Gespeichert als %1</translation>
    </message>
    <message>
        <source>Sleep at the end</source>
        <translation>Schlaf am Dateiende</translation>
    </message>
    <message>
        <source>Sleep in %1</source>
        <translation>Schlaf in %1</translation>
    </message>
    <message>
        <source>Resuming at %1</source>
        <translation>Weiter bei %1</translation>
    </message>
    <message>
        <source>Bookmark at %1</source>
        <translation>Lesezeichen bei %1</translation>
    </message>
    <message>
        <source>Cannot keep bookmarks</source>
        <translation>Lesezeichen können nicht gespeichert werden</translation>
    </message>
    <message>
        <source>Continue: %1 at %2</source>
        <translation>Weiter: %1 bei %2</translation>
    </message>
    <message>
        <source>Bookmarks</source>
        <translation>Lesezeichen</translation>
    </message>
    <message>
        <source>Sleep timer: end of chapter</source>
        <translation>Schlaf-Timer: Kapitelende</translation>
    </message>
    <message>
        <source>Chapter %1</source>
        <translation>Kapitel %1</translation>
    </message>
    <message>
        <source>Chapters</source>
        <translation>Kapitel</translation>
    </message>
    <message>
        <source>Speed: %1</source>
        <translation>Tempo: %1</translation>
    </message>
</context>
<context>
    <name>MvFileBrowser</name>
    <message>
        <source>MyVideo</source>
        <translation>Meine Videos</translation>
    </message>
    <message>
        <source>MyAudio</source>
        <translation>Meine Audiodateien</translation>
    </message>
    <message>
        <source>My playlists</source>
        <translation>Meine Playlists</translation>
    </message>
    <message>
        <source>Memory card</source>
        <translation>Speicherkarte</translation>
    </message>
</context>
<context>
    <name>MvNowPlayingView</name>
    <message>
        <source>Paused</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Volume %1</source>
        <translation>Lautstärke %1</translation>
    </message>
</context>
<context>
    <name>ZPushButton</name>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Wählen</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
</context>
</TS>
