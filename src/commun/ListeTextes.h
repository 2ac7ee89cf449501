#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace cc {

// A list of texts, some of them Null, kept in one buffer: a period of a million records holds their
// numbers in a few tens of megabytes instead of one allocation each.
class ListeTextes {
public:
    void vider() {
        caracteres_.clear();
        fins_.clear();
    }
    void ajouter(QStringView texte) {
        caracteres_.insert(caracteres_.end(), texte.utf16(), texte.utf16() + texte.size());
        fins_.push_back(caracteres_.size());
    }
    void ajouterNul() { fins_.push_back(caracteres_.size() | BitNul); }

    std::size_t taille() const { return fins_.size(); }
    bool vide() const { return fins_.empty(); }
    bool estNul(std::size_t i) const { return (fins_[i] & BitNul) != 0; }
    QStringView vue(std::size_t i) const {
        const std::uint64_t debut = i == 0 ? 0 : (fins_[i - 1] & ~BitNul);
        const std::uint64_t fin = fins_[i] & ~BitNul;
        return QStringView(caracteres_.data() + debut, static_cast<qsizetype>(fin - debut));
    }
    QString texte(std::size_t i) const { return vue(i).toString(); }

private:
    static constexpr std::uint64_t BitNul = std::uint64_t(1) << 63;
    std::vector<char16_t> caracteres_;
    std::vector<std::uint64_t> fins_; // end of each text in the buffer; the top bit marks a Null
};

} // namespace cc
