// The text the transcoding benchmarks convert: eight kinds of text that our
// users' applications pass through the library, each written as a handful
// of lines that are repeated, one after another, to the size asked for and
// cut at the last whole character that fits.
#ifndef TSKBASE_BENCH_TEXT_CORPORA_H
#define TSKBASE_BENCH_TEXT_CORPORA_H

#include <cstddef>
#include <string>
#include <vector>

namespace tsk::bench {

struct Corpus {
  const char* name;
  std::vector<const char*> lines;
};

inline const std::vector<Corpus>& corpora() {
  static const std::vector<Corpus> all = {
      {"ascii",
       {"The build finished at 10:42 with 3 warnings; all 1287 tests passed on the first run.\n",
        "Please send the signed contract back by Friday, and keep a copy for your records.\n",
        "Meeting notes: budget review moved to Tuesday, slides due Monday noon (see agenda).\n"}},
      {"latin",
       {"Le comité a décidé de reporter la réunion à jeudi prochain, après la fête.\n",
        "Die Größe der Straße überrascht; später wählen wir ein ruhigeres Café.\n",
        "El niño comió piñones en la estación, y su mamá leyó un poema después.\n",
        "Ela não sabe se a lição começa às três ou às quatro da tarde.\n"}},
      {"cyrillic",
       {"Вчера вечером мы обсудили план работ на следующую неделю и сроки сдачи.\n",
        "Пожалуйста, проверьте отчёт до пятницы: в таблице есть две ошибки.\n",
        "Σήμερα το πρωί η ομάδα παρουσίασε τα νέα αποτελέσματα της μελέτης.\n",
        "Новый сервер запущен, но резервное копирование ещё не настроено.\n"}},
      {"cjk",
       {"2024年3月15日、東京で開催されたAI Summitには約1200名が参加しました。\n",
        "新版本的Windows客户端修复了3个问题，请在5月1日前升级到v2.4。\n",
        "本日の会議では、Q3の売上（前年比112%）とRoadmapについて話し合った。\n",
        "我们计划在Beijing和Shanghai各开设2家门店，预计投资500万元。\n"}},
      {"korean",
       {"오늘 회의에서는 다음 분기 예산과 일정에 대해 논의했습니다.\n",
        "새로운 버전은 다음 주 월요일에 배포될 예정이며 테스트는 끝났습니다.\n",
        "고객 문의가 늘어나서 상담 인원을 두 명 더 채용하기로 했습니다.\n"}},
      {"chat",
       {"ok see you at 7 😀 bring the snacks 🍕🍕\n",
        "lol that was amazing 😂😂 can't wait for next time 🎉\n",
        "running late 🚗💨 sorry!! save me a seat 🙏\n",
        "happy birthday!!! 🎂🎈🥳 have a great one ❤️\n"}},
      {"mixed",
       {"Re: Angebot für 北京 office — цена 1200€, 확인 부탁드립니다 👍\n",
        "Meeting with Zoë (東京) at 15:00, повестка: 예산 review 📊\n",
        "Crème brûlée recipe: 砂糖 50g, молоко 200ml, 계란 3개 🍮 done\n",
        "Status: déployé en production ✅, 测试 passed, ошибок нет, 좋아요 🚀\n"}},
      {"log",
       {"2024-05-02T09:14:07Z INFO  [worker-3] opened C:\\Users\\admin\\Documents\\report.xlsx\n",
        "2024-05-02T09:14:08Z WARN  [io] retry 2/5 for /var/lib/app/cache/index.db (EAGAIN)\n",
        "2024-05-02T09:14:09Z INFO  [sync] uploaded /home/jürgen/Projekte/Übersicht.pdf\n",
        "2024-05-02T09:14:11Z DEBUG [net] GET /api/v2/items?page=3&limit=50 -> 200 (12 ms)\n",
        "2024-05-02T09:14:12Z INFO  [worker-1] scanned D:\\Daten\\Kunden\\2024\\Q1 in 341 ms\n"}},
  };
  return all;
}

// The corpus's lines repeated to at most `size` bytes, cut at the last
// whole character that fits.
inline std::string corpusText(const Corpus& corpus, size_t size) {
  std::string text;
  for (size_t line = 0; text.size() < size; ++line) {
    text += corpus.lines[line % corpus.lines.size()];
  }
  size_t end = size;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  text.resize(end);
  return text;
}

inline constexpr size_t kCorpusSizes[] = {64, 1024, 1024 * 1024};

} // namespace tsk::bench

#endif // TSKBASE_BENCH_TEXT_CORPORA_H
