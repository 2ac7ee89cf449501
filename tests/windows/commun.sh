# Sourced by the tests under Wine: a demo company and the host product's settings that name it.
#
#   societe_demo GENERER-DEMO DOSSIER [OPTIONS…]   a fresh demo company « Société Démo » (2024) in
#                                                  DOSSIER/base, and an empty DOSSIER/programme
#   inscrire_societe DOSSIER                       the registry of the Wine prefix names it as the active
#                                                  company, accented section and company names included
#   oublier_societe                                removes those settings

societe="Société Démo"
cle_hote='HKCU\Software\VB and VBA Program Settings\VENDRAX9'

societe_demo() {
    local generer="$1" dossier="$2"
    shift 2
    rm -rf "$dossier"
    "$generer" --sortie "$dossier" --societe "$societe" --debut 2024-01-01 --fin 2024-12-31 "$@" >/dev/null 2>&1
    mkdir -p "$dossier/programme"
}

# The Windows form of the folder is Wine's drive Z:, the root, written here rather than asked
# of another Wine process. The base folder once read back empty on a loaded machine: what the registry
# holds is now read back at once, so that such a loss fails here, named, not as the program's error.
inscrire_societe() {
    local dossier base lu
    dossier="$(realpath -m "$1")"
    base="Z:${dossier//\//\\}\\base"
    oublier_societe
    wine reg add "$cle_hote\\Répertoire de base" /v Nom /d "$base" /f >/dev/null
    wine reg add "$cle_hote\\Société active" /v Répertoire /d "$societe" /f >/dev/null
    # reg prints in the console's code page: the accents are left out of the comparison.
    lu="$(wine reg query "$cle_hote\\Répertoire de base" /v Nom 2>/dev/null | LC_ALL=C tr -d '\r\200-\377' |
        sed -n 's/^ *Nom *REG_SZ *//p')"
    if [ "$lu" != "$(LC_ALL=C tr -d '\200-\377' <<<"$base")" ]; then
        echo "registre de Wine : « $base » écrit comme dossier de base, « $lu » relu" >&2
        return 1
    fi
}

oublier_societe() {
    wine reg delete "$cle_hote" /f >/dev/null 2>&1 || true
}
