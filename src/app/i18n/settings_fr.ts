<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
    <context>
        <name />
        <message id="settings.window.title">
            <source>Settings</source>
            <translation>Réglages</translation>
        </message>
        <message id="settings.tab.general">
            <source>General</source>
            <translation>Général</translation>
        </message>
        <message id="settings.tab.consolidation">
            <source>Consolidation</source>
            <translation>Synthèse</translation>
        </message>
        <message id="settings.tab.markdown">
            <source>Markdown</source>
            <translation>Export Markdown</translation>
        </message>
        <message id="settings.tab.tools">
            <source>Tools</source>
            <translation>Outils</translation>
        </message>
        <message id="settings.tab.cache">
            <source>Cache</source>
            <translation>Vidéos téléchargées</translation>
        </message>
        <message id="settings.folder.choose">
            <source>Choose…</source>
            <translation>Choisir…</translation>
        </message>
        <message id="settings.folder.reset">
            <source>Use Default</source>
            <translation>Valeur par défaut</translation>
        </message>
        <message id="settings.folder.error.not.folder">
            <source>“%1” is not a folder. The setting was not changed.</source>
            <translation>« %1 » n’est pas un dossier. Le réglage n’a pas été modifié.</translation>
        </message>
        <message id="settings.general.interval.value">
            <source>%1 seconds</source>
            <oldsource>%1 s</oldsource>
            <translation>%1 secondes</translation>
        </message>
        <message id="settings.general.language">
            <source>Language:</source>
            <translation>Langue :</translation>
        </message>
        <message id="settings.general.language.note">
            <source>The interface changes at once; lectures and exports keep their own language.</source>
            <translation>L’interface change immédiatement ; les cours et les exports gardent leur propre langue.</translation>
        </message>
        <message id="settings.general.spoken">
            <source>Spoken language:</source>
            <translation>Langue parlée :</translation>
        </message>
        <message id="settings.general.spoken.auto">
            <source>Detect automatically</source>
            <translation>Détecter automatiquement</translation>
        </message>
        <message id="settings.general.spoken.note">
            <source>The language the lectures are given in, for transcription. Detected automatically, the model listens to the first half minute. English-only models always write English.</source>
            <translation>La langue dans laquelle les cours sont donnés, pour la transcription. En détection automatique, le modèle écoute la première demi-minute. Les modèles uniquement anglais écrivent toujours en anglais.</translation>
        </message>
        <message id="settings.general.logo">
            <source>Logo artwork:</source>
            <oldsource>Logo:</oldsource>
            <translation>Motif du logo :</translation>
        </message>
        <message id="settings.general.logo.automatic">
            <source>Seasonal (automatic)</source>
            <translation>Selon la saison (automatique)</translation>
        </message>
        <message id="settings.general.logo.standard">
            <source>Standard</source>
            <translation>Classique</translation>
        </message>
        <message id="settings.general.logo.autumn">
            <source>Autumn</source>
            <translation>Automne</translation>
        </message>
        <message id="settings.general.logo.christmas">
            <source>Christmas</source>
            <translation>Noël</translation>
        </message>
        <message id="settings.general.interval">
            <source>Screenshot interval:</source>
            <translation>Intervalle des captures :</translation>
        </message>
        <message id="settings.general.interval.tooltip">
            <source>The longest stretch of a lecture without a screenshot.</source>
            <translation>La plus longue durée d’un cours sans capture d’écran.</translation>
        </message>
        <message id="settings.general.export.folder">
            <source>Export folder:</source>
            <translation>Dossier d’export :</translation>
        </message>
        <message id="settings.general.export.folder.chooser">
            <source>Choose the Export Folder</source>
            <translation>Choisir le dossier d’export</translation>
        </message>
        <message id="settings.general.sync.folder">
            <source>Sync folder:</source>
            <translation>Dossier synchronisé :</translation>
        </message>
        <message id="settings.general.sync.folder.none">
            <source>None: the library stays on this computer</source>
            <translation>Aucun : la bibliothèque reste sur cet ordinateur</translation>
        </message>
        <message id="settings.general.sync.folder.chooser">
            <source>Choose the Sync Folder</source>
            <translation>Choisir le dossier synchronisé</translation>
        </message>
        <message id="settings.general.sync.folder.note">
            <source>A folder that your sync client (Nextcloud, Syncthing, Dropbox…) keeps in step between your computers. Lumenote keeps its library and exports in its “Lumenote” subfolder. A change takes effect the next time Lumenote starts.</source>
            <translation>Un dossier que votre client de synchronisation (Nextcloud, Syncthing, Dropbox…) tient à jour entre vos ordinateurs. Lumenote range sa bibliothèque et ses exports dans le sous-dossier « Lumenote ». Le changement prend effet au prochain démarrage de Lumenote.</translation>
        </message>
        <message id="settings.general.sync.never">
            <source>never</source>
            <translation>jamais</translation>
        </message>
        <message id="settings.general.sync.status">
            <source>Last sent: %1 (%2 records) · last received: %3 (%4 records) · waiting: %5 · conflicts resolved: %6</source>
            <translation>Dernier envoi : %1 (%2 fiches) · dernière réception : %3 (%4 fiches) · en attente : %5 · conflits résolus : %6</translation>
        </message>
        <message id="settings.markdown.description">
            <source>Besides the HTML study document, each export can write a Markdown file with the notes, the transcript and the screenshots, ready for a notes vault such as Obsidian.</source>
            <translation>En plus du document d’étude HTML, chaque export peut écrire un fichier Markdown avec les notes, la transcription et les captures, prêt pour un coffre de notes comme Obsidian.</translation>
        </message>
        <message id="settings.markdown.enabled">
            <source>Write a Markdown file with every export</source>
            <translation>Écrire un fichier Markdown à chaque export</translation>
        </message>
        <message id="settings.markdown.obsidian">
            <source>Use Obsidian embeds for images</source>
            <translation>Utiliser les intégrations Obsidian pour les images</translation>
        </message>
        <message id="settings.markdown.obsidian.example.on">
            <source>Images are written as ![[images/file.jpg]]</source>
            <translation>Les images sont écrites sous la forme ![[images/file.jpg]]</translation>
        </message>
        <message id="settings.markdown.obsidian.example.off">
            <source>Images are written as ![](images/file.jpg)</source>
            <translation>Les images sont écrites sous la forme ![](images/file.jpg)</translation>
        </message>
        <message id="settings.markdown.folder">
            <source>Markdown folder:</source>
            <translation>Dossier Markdown :</translation>
        </message>
        <message id="settings.markdown.folder.default">
            <source>Same folder as the HTML export</source>
            <translation>Le même dossier que l’export HTML</translation>
        </message>
        <message id="settings.markdown.folder.chooser">
            <source>Choose the Markdown Folder</source>
            <translation>Choisir le dossier Markdown</translation>
        </message>
        <message id="settings.markdown.folder.note">
            <source>In a folder of your own, each lecture gets a subfolder named after its date and title, with a copy of its images.</source>
            <translation>Dans un dossier à vous, chaque cours reçoit un sous-dossier nommé d’après sa date et son titre, avec une copie de ses images.</translation>
        </message>
        <message id="settings.consolidation.claude.fetching">
            <source>Loading the models of your account…</source>
            <translation>Chargement des modèles de votre compte…</translation>
        </message>
        <message id="settings.consolidation.claude.fetched">
            <source>%1 models available to your account.</source>
            <translation>%1 modèles disponibles pour votre compte.</translation>
        </message>
        <message id="settings.consolidation.claude.builtin">
            <source>Built-in list. Save an API key to see the models of your account.</source>
            <translation>Liste intégrée. Enregistrez une clé d’API pour voir les modèles de votre compte.</translation>
        </message>
        <message id="settings.consolidation.ollama.fetching">
            <source>Looking for installed models…</source>
            <translation>Recherche des modèles installés…</translation>
        </message>
        <message id="settings.consolidation.ollama.fetched">
            <source>%1 models installed on this server.</source>
            <translation>%1 modèles installés sur ce serveur.</translation>
        </message>
        <message id="settings.consolidation.key.file">
            <source>No Secret Service is running, so the key is kept in %1, readable only by you.</source>
            <translation>Aucun Secret Service n’est actif : la clé est donc conservée dans %1, lisible par vous seul.</translation>
        </message>
        <message id="settings.consolidation.key.keyring">
            <source>The key is kept in your desktop's keyring (Secret Service).</source>
            <translation>La clé est conservée dans le trousseau de votre bureau (Secret Service).</translation>
        </message>
        <message id="settings.consolidation.enabled">
            <source>Consolidate new lectures into study notes</source>
            <translation>Synthétiser les nouveaux cours en notes d’étude</translation>
        </message>
        <message id="settings.consolidation.provider">
            <source>Provider:</source>
            <translation>Fournisseur :</translation>
        </message>
        <message id="settings.consolidation.claude.title">
            <source>Claude (Anthropic)</source>
            <translation>Claude (par Anthropic)</translation>
        </message>
        <message id="settings.consolidation.key">
            <source>API key:</source>
            <translation>Clé d’API :</translation>
        </message>
        <message id="settings.consolidation.key.placeholder">
            <source>Paste your Anthropic API key</source>
            <translation>Collez votre clé d’API Anthropic</translation>
        </message>
        <message id="settings.consolidation.key.save">
            <source>Save</source>
            <translation>Enregistrer</translation>
        </message>
        <message id="settings.consolidation.key.remove">
            <source>Remove</source>
            <translation>Supprimer</translation>
        </message>
        <message id="settings.consolidation.model">
            <source>Model:</source>
            <translation>Modèle :</translation>
        </message>
        <message id="settings.consolidation.refresh">
            <source>Refresh</source>
            <translation>Actualiser</translation>
        </message>
        <message id="settings.consolidation.ollama.title">
            <source>Ollama (on your own computer or network)</source>
            <translation>Ollama (sur votre ordinateur ou votre réseau)</translation>
        </message>
        <message id="settings.consolidation.ollama.endpoint">
            <source>Server address:</source>
            <translation>Adresse du serveur :</translation>
        </message>
        <message id="settings.consolidation.ollama.model.manual">
            <source>(type manually or tap Refresh)</source>
            <translation>(saisissez-le ou cliquez sur Actualiser)</translation>
        </message>
        <message id="settings.consolidation.ollama.model.placeholder">
            <source>Select a model…</source>
            <translation>Choisissez un modèle…</translation>
        </message>
        <message id="settings.consolidation.prompt">
            <source>Instructions given to the model:</source>
            <translation>Instructions données au modèle :</translation>
        </message>
        <message id="settings.consolidation.prompt.reset">
            <source>Reset to Default</source>
            <translation>Rétablir l’original</translation>
        </message>
        <message id="settings.tools.status.current">
            <source>Up to date (version %1)</source>
            <translation>À jour (version %1)</translation>
        </message>
        <message id="settings.tools.status.available">
            <source>Version %1 is available (installed: %2)</source>
            <translation>La version %1 est disponible (installée : %2)</translation>
        </message>
        <message id="settings.tools.status.checking">
            <source>Checking for a newer version…</source>
            <translation>Recherche d’une version plus récente…</translation>
        </message>
        <message id="settings.tools.status.updating">
            <source>Downloading… %1%</source>
            <translation>Téléchargement… %1 %</translation>
        </message>
        <message id="settings.tools.status.failed">
            <source>The check failed. Check your connection and try again.</source>
            <translation>La vérification a échoué. Vérifiez votre connexion et réessayez.</translation>
        </message>
        <message id="settings.tools.status.known">
            <source>Version %1 (not checked in this session)</source>
            <translation>Version %1 (non vérifiée pendant cette session)</translation>
        </message>
        <message id="settings.tools.status.unknown">
            <source>Not checked yet</source>
            <translation>Pas encore vérifié</translation>
        </message>
        <message id="settings.tools.last.check.never">
            <source>Never checked</source>
            <translation>Jamais vérifié</translation>
        </message>
        <message id="settings.tools.last.check">
            <source>Last checked: %1</source>
            <translation>Dernière vérification : %1</translation>
        </message>
        <message id="settings.tools.ytdlp.missing">
            <source>Not found. Install yt-dlp with your package manager to import from web addresses.</source>
            <translation>Introuvable. Installez yt-dlp avec votre gestionnaire de paquets pour importer depuis des adresses web.</translation>
        </message>
        <message id="settings.tools.ffmpeg.missing">
            <source>Not found. Lumenote needs ffmpeg for web videos and for videos it must convert.</source>
            <translation>Introuvable. Lumenote a besoin de ffmpeg pour les vidéos du web et celles qu’il doit convertir.</translation>
        </message>
        <message id="settings.tools.update">
            <source>Update</source>
            <translation>Mettre à jour</translation>
        </message>
        <message id="settings.tools.install">
            <source>Install</source>
            <translation>Installer</translation>
        </message>
        <message id="settings.tools.models.stop">
            <source>Stop Download</source>
            <translation>Arrêter le téléchargement</translation>
        </message>
        <message id="settings.tools.models.update">
            <source>Download Update</source>
            <translation>Télécharger la mise à jour</translation>
        </message>
        <message id="settings.tools.models.download">
            <source>Download</source>
            <translation>Télécharger</translation>
        </message>
        <message id="settings.tools.models.error">
            <source>The last download failed: %1</source>
            <translation>Le dernier téléchargement a échoué : %1</translation>
        </message>
        <message id="settings.tools.models.checking">
            <source>Checking the model repository for newer revisions…</source>
            <translation>Recherche de révisions plus récentes dans le dépôt des modèles…</translation>
        </message>
        <message id="settings.tools.models.delete.title">
            <source>Delete the %1 model?</source>
            <translation>Supprimer le modèle %1 ?</translation>
        </message>
        <message id="settings.tools.models.delete.text">
            <source>The %1 model is removed from this computer. You can download it again at any time.</source>
            <translation>Le modèle %1 sera effacé de cet ordinateur. Vous pourrez le télécharger de nouveau à tout moment.</translation>
        </message>
        <message id="settings.tools.models.delete">
            <source>Delete</source>
            <translation>Supprimer</translation>
        </message>
        <message id="settings.cancel">
            <source>Cancel</source>
            <translation>Annuler</translation>
        </message>
        <message id="settings.tools.check">
            <source>Check Now</source>
            <translation>Vérifier maintenant</translation>
        </message>
        <message id="settings.tools.models.title">
            <source>Speech models</source>
            <translation>Modèles de reconnaissance vocale</translation>
        </message>
        <message id="settings.tools.models.description">
            <source>Transcription runs on this computer with the checked model. Larger models are more accurate but slower.</source>
            <translation>La transcription se fait sur cet ordinateur avec le modèle coché. Les modèles plus grands sont plus précis mais plus lents.</translation>
        </message>
        <message id="settings.tools.models.use">
            <source>Use This Model</source>
            <translation>Utiliser ce modèle</translation>
        </message>
        <message id="settings.tools.models.delete.button">
            <source>Delete…</source>
            <translation>Supprimer…</translation>
        </message>
        <message id="settings.tools.models.check">
            <source>Check for Updates</source>
            <translation>Rechercher des mises à jour</translation>
        </message>
        <message id="settings.tools.models.note.fastest">
            <source>Fastest</source>
            <translation>Le plus rapide</translation>
        </message>
        <message id="settings.tools.models.note.balance">
            <source>Good balance</source>
            <translation>Bon compromis</translation>
        </message>
        <message id="settings.tools.models.note.recommended">
            <source>Recommended</source>
            <translation>Recommandé</translation>
        </message>
        <message id="settings.tools.models.note.high">
            <source>High accuracy</source>
            <translation>Grande précision</translation>
        </message>
        <message id="settings.tools.models.note.best">
            <source>Best accuracy</source>
            <translation>Précision maximale</translation>
        </message>
        <message id="settings.tools.models.state.downloading">
            <source>Downloading… %1%</source>
            <translation>Téléchargement… %1 %</translation>
        </message>
        <message id="settings.tools.models.state.absent">
            <source>Not downloaded</source>
            <translation>Non téléchargé</translation>
        </message>
        <message id="settings.tools.models.state.checking">
            <source>Checking…</source>
            <translation>Vérification…</translation>
        </message>
        <message id="settings.tools.models.state.available">
            <source>Update available</source>
            <translation>Mise à jour disponible</translation>
        </message>
        <message id="settings.tools.models.state.failed">
            <source>Downloaded (check failed)</source>
            <translation>Téléchargé (échec de la vérification)</translation>
        </message>
        <message id="settings.tools.models.state.current">
            <source>Up to date</source>
            <translation>À jour</translation>
        </message>
        <message id="settings.tools.models.state.downloaded">
            <source>Downloaded</source>
            <translation>Téléchargé</translation>
        </message>
        <message id="settings.tools.models.column.name">
            <source>Model</source>
            <translation>Modèle</translation>
        </message>
        <message id="settings.tools.models.column.size">
            <source>Download</source>
            <translation>Téléchargement</translation>
        </message>
        <message id="settings.tools.models.column.note">
            <source>Best for</source>
            <translation>Idéal pour</translation>
        </message>
        <message id="settings.tools.models.column.state">
            <source>State</source>
            <translation>État</translation>
        </message>
        <message id="settings.cache.in.use">
            <source>In use</source>
            <translation>Utilisée</translation>
        </message>
        <message id="settings.cache.incomplete">
            <source>Incomplete download</source>
            <translation>Téléchargement incomplet</translation>
        </message>
        <message id="settings.cache.column.name">
            <source>Video name</source>
            <oldsource>Video</oldsource>
            <translation>Nom de la vidéo</translation>
        </message>
        <message id="settings.cache.column.size">
            <source>Size</source>
            <translation>Taille</translation>
        </message>
        <message id="settings.cache.column.label">
            <source>Status</source>
            <translation>État</translation>
        </message>
        <message id="settings.cache.total">
            <source>%1 videos, %2 in total</source>
            <translation>%1 vidéos, %2 au total</translation>
        </message>
        <message id="settings.cache.delete.failed">
            <source>“%1” could not be deleted.</source>
            <translation>Impossible de supprimer « %1 ».</translation>
        </message>
        <message id="settings.cache.remove.all.confirm">
            <source>Lectures that used these videos will need to be re-downloaded before they can be reprocessed.</source>
            <translation>Les cours qui utilisaient ces vidéos devront les retélécharger avant de pouvoir être traités de nouveau.</translation>
        </message>
        <message id="settings.cache.remove.all.in.use.one">
            <source>%1 file is still used by library items and will not be removed.</source>
            <translation>%1 fichier est encore utilisé par la bibliothèque et ne sera pas supprimé.</translation>
        </message>
        <message id="settings.cache.remove.all.in.use.many">
            <source>%1 files are still used by library items and will not be removed.</source>
            <translation>%1 fichiers sont encore utilisés par la bibliothèque et ne seront pas supprimés.</translation>
        </message>
        <message id="settings.cache.remove.all">
            <source>Remove All Unused Videos</source>
            <translation>Supprimer toutes les vidéos inutilisées</translation>
        </message>
        <message id="settings.cache.title">
            <source>Downloaded Videos</source>
            <translation>Vidéos téléchargées</translation>
        </message>
        <message id="settings.cache.description">
            <source>Videos downloaded from web addresses stay here so that lectures can be processed again. Videos that a lecture still uses are protected.</source>
            <translation>Les vidéos téléchargées depuis des adresses web restent ici pour que les cours puissent être traités de nouveau. Celles qu’un cours utilise encore sont protégées.</translation>
        </message>
        <message id="settings.cache.calculating">
            <source>Calculating sizes…</source>
            <translation>Calcul des tailles…</translation>
        </message>
        <message id="settings.cache.empty.title">
            <source>No downloaded videos</source>
            <translation>Aucune vidéo téléchargée</translation>
        </message>
        <message id="settings.cache.empty.detail">
            <source>Videos you import from a web address appear here.</source>
            <translation>Les vidéos importées depuis une adresse web apparaissent ici.</translation>
        </message>
        <message id="settings.cache.protected.legend">
            <source>Videos marked “In use” belong to lectures in your library and cannot be deleted here.</source>
            <translation>Les vidéos marquées « Utilisée » appartiennent à des cours de votre bibliothèque et ne peuvent pas être supprimées ici.</translation>
        </message>
        <message id="settings.cache.delete">
            <source>Delete</source>
            <translation>Supprimer</translation>
        </message>
        <message id="settings.consolidation.error.ollama.address">
            <source>The Ollama server address is not valid.</source>
            <translation>L’adresse du serveur Ollama n’est pas valide.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.response">
            <source>Ollama answered with something unexpected.</source>
            <translation>Ollama a renvoyé une réponse inattendue.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.empty">
            <source>Ollama is running but has no models installed.</source>
            <translation>Ollama fonctionne, mais aucun modèle n’est installé.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.unreachable">
            <source>Could not reach Ollama at %1. Is it running?</source>
            <translation>Impossible de joindre Ollama à l’adresse %1. Est-il lancé ?</translation>
        </message>
        <message id="settings.consolidation.error.claude.silent">
            <source>Anthropic did not answer.</source>
            <translation>Anthropic n’a pas répondu.</translation>
        </message>
        <message id="settings.consolidation.error.claude.response">
            <source>Anthropic answered with something unexpected.</source>
            <translation>Anthropic a renvoyé une réponse inattendue.</translation>
        </message>
        <message id="settings.consolidation.error.claude.empty">
            <source>The API returned no models.</source>
            <translation>L’API n’a renvoyé aucun modèle.</translation>
        </message>
        <message id="settings.consolidation.error.claude.unreachable">
            <source>Could not reach the Anthropic API: %1</source>
            <translation>Impossible de joindre l’API d’Anthropic : %1</translation>
        </message>
        <message id="settings.consolidation.error.claude.status">
            <source>The Anthropic API answered %1</source>
            <translation>L’API d’Anthropic a répondu %1</translation>
        </message>
    </context>
</TS>
