#include "records.h"

#include "arithmetic.h"
#include "random.h"

namespace talvoren {

std::int32_t fullHealth(const Player& hero) {
    return scaleByFactor(levelFactor(hero.level, kHeroLevelWeight),
                         saturatingMultiply(hero.intelligence, 25));
}

void restoreHealth(Player& hero) {
    hero.maxHealth = fullHealth(hero);
    hero.health = hero.maxHealth;
}

}  // namespace talvoren
