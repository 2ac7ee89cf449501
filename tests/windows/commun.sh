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

inscrire_societe() {
    oublier_societe
    wine reg add "$cle_hote\\Répertoire de base" /v Nom /d "$(winepath -w "$1/base")" /f >/dev/null
    wine reg add "$cle_hote\\Société active" /v Répertoire /d "$societe" /f >/dev/null
}

oublier_societe() {
    wine reg delete "$cle_hote" /f >/dev/null 2>&1 || true
}
