<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Movara</name>
    <message>
        <source>Main Page</source>
        <translation>Accueil</translation>
    </message>
    <message>
        <source>&lt;qt&gt;&lt;center&gt;&lt;b&gt;Movara 0.0.1a&lt;/b&gt;&lt;br /&gt;The MPlayer Frontend&lt;br /&gt;&lt;br /&gt;Plays the phone&apos;s video and audio&lt;br /&gt;through MPlayer, a folder at a time.&lt;br /&gt;&lt;br /&gt;Free software, without any warranty.&lt;/center&gt;&lt;/qt&gt;</source>
        <translation>&lt;qt&gt;&lt;center&gt;&lt;b&gt;Movara 0.0.1a&lt;/b&gt;&lt;br /&gt;L&apos;interface de MPlayer&lt;br /&gt;&lt;br /&gt;Lit les vidéos et les sons&lt;br /&gt;du téléphone avec MPlayer,&lt;br /&gt;un dossier après l&apos;autre.&lt;br /&gt;&lt;br /&gt;Logiciel libre,&lt;br /&gt;sans aucune garantie.&lt;/center&gt;&lt;/qt&gt;</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cannot play %1</source>
        <translation>Lecture impossible&#xa0;: %1</translation>
    </message>
    <message>
        <source>Cannot play %1 and %2 more</source>
        <translation>Lecture impossible&#xa0;: %1 et %2 autres</translation>
    </message>
    <message>
        <source>Not found: %1</source>
        <translation>Introuvable&#xa0;: %1</translation>
    </message>
    <message>
        <source>Not found: %1 and %2 more</source>
        <translation>Introuvables&#xa0;: %1 et %2 autres</translation>
    </message>
    <message>
        <source>Only the first %1 entries play</source>
        <translation>Seules les %1 premières entrées sont lues</translation>
    </message>
    <message>
        <source>Play ticked</source>
        <translation>Lire la sélection</translation>
    </message>
    <message>
        <source>Tick all</source>
        <translation>Tout cocher</translation>
    </message>
    <message>
        <source>Clear all</source>
        <translation>Tout décocher</translation>
    </message>
    <message>
        <source>Save ticked as playlist</source>
        <translation>Enregistrer la sélection en liste</translation>
    </message>
    <message>
        <source>Resume: on</source>
        <translation>Reprise&#xa0;: oui</translation>
    </message>
    <message>
        <source>Resume: off</source>
        <translation>Reprise&#xa0;: non</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Continuer</translation>
    </message>
    <message>
        <source>Sleep timer: end of file</source>
        <translation>Minuterie&#xa0;: fin du fichier</translation>
    </message>
    <message>
        <source>Sleep timer: %1 min</source>
        <translation>Minuterie&#xa0;: %1&#xa0;min</translation>
    </message>
    <message>
        <source>Sleep timer: off</source>
        <translation>Minuterie&#xa0;: non</translation>
    </message>
    <message>
        <source>Shuffle: on</source>
        <translation>Aléatoire&#xa0;: oui</translation>
    </message>
    <message>
        <source>Shuffle: off</source>
        <translation>Aléatoire&#xa0;: non</translation>
    </message>
    <message>
        <source>Repeat: one</source>
        <translation>Répéter&#xa0;: un</translation>
    </message>
    <message>
        <source>Repeat: all</source>
        <translation>Répéter&#xa0;: tout</translation>
    </message>
    <message>
        <source>Repeat: off</source>
        <translation>Répéter&#xa0;: non</translation>
    </message>
    <message>
        <source>Cannot keep places: %1</source>
        <translation>Positions non conservées&#xa0;: %1</translation>
    </message>
    <message>
        <source>Nothing is ticked</source>
        <translation>Rien n’est coché</translation>
    </message>
    <message>
        <source>Cannot save the playlist</source>
        <translation>Impossible d’enregistrer la liste</translation>
    </message>
    <message>
        <source>Saved as %1</source>
        <translation>Enregistrée sous %1</translation>
    </message>
    <message>
        <source>Sleep at the end</source>
        <translation>Veille en fin de fichier</translation>
    </message>
    <message>
        <source>Sleep in %1</source>
        <translation>Veille dans %1</translation>
    </message>
    <message>
        <source>Resuming at %1</source>
        <translation>Reprise à %1</translation>
    </message>
    <message>
        <source>Bookmark at %1</source>
        <translation>Signet à %1</translation>
    </message>
    <message>
        <source>Cannot keep bookmarks</source>
        <translation>Impossible de garder les signets</translation>
    </message>
    <message>
        <source>Continue: %1 at %2</source>
        <translation>Continuer&#xa0;: %1 à %2</translation>
    </message>
    <message>
        <source>Bookmarks</source>
        <translation>Signets</translation>
    </message>
    <message>
        <source>Sleep timer: end of chapter</source>
        <translation>Minuterie&#xa0;: fin du chapitre</translation>
    </message>
    <message>
        <source>Chapter %1</source>
        <translation>Chapitre %1</translation>
    </message>
    <message>
        <source>Chapters</source>
        <translation>Chapitres</translation>
    </message>
    <message>
        <source>Speed: %1</source>
        <translation>Vitesse&#xa0;: %1</translation>
    </message>
</context>
<context>
    <name>MvFileBrowser</name>
    <message>
        <source>MyVideo</source>
        <translation>Mes vidéos</translation>
    </message>
    <message>
        <source>MyAudio</source>
        <translation>Mes sons</translation>
    </message>
    <message>
        <source>My playlists</source>
        <translation>Mes listes de lecture</translation>
    </message>
    <message>
        <source>Memory card</source>
        <translation>Carte mémoire</translation>
    </message>
</context>
<context>
    <name>MvNowPlayingView</name>
    <message>
        <source>Paused</source>
        <translation>En pause</translation>
    </message>
    <message>
        <source>Volume %1</source>
        <translation>Volume %1</translation>
    </message>
</context>
<context>
    <name>ZPushButton</name>
    <message>
        <source>Exit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Retour</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Choisir</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Terminé</translation>
    </message>
</context>
</TS>
