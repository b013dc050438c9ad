// Session exports and the engine's message texts.

#include "ringweld.h"
#include "session.h"

namespace {

struct ErrorText {
    int32_t codes[5];
    const char* text;  // CP932 bytes
};

// Several error numbers share one text; a zero ends a code list.
const ErrorText kErrorTexts[] = {
    {{11, 32}, "\x90\xFC\x95\xAA\x83o\x83" "b\x83t\x83@(linsize)\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81["},  // 線分バッファ(linsize)オーバーフロー
    {{14}, "\x90\xFC\x95\xAA\x83o\x83" "b\x83t\x83@\x94\xCD\x88\xCD\x8AO"},  // 線分バッファ範囲外
    {{21, 22}, "\x8D\xC0\x95W\x83o\x83" "b\x83t\x83@(pxysize)\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81["},  // 座標バッファ(pxysize)オーバーフロー
    {{42, 51}, "\x90\xFC\x95\xAA\x92\x86\x8A\xD4\x83o\x83" "b\x83t\x83@(linsize)\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81["},  // 線分中間バッファ(linsize)オーバーフロー
    {{61}, "\x92\x86\x8A\xD4\x83o\x83" "b\x83t\x83@(4000)\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81["},  // 中間バッファ(4000)オーバーフロー
    {{62, 65, 66, 68, 69}, "\x83" "A\x81[\x83N\x83o\x83" "b\x83t\x83@(arcsize)\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81["},  // アークバッファ(arcsize)オーバーフロー
    {{63, 81, 82}, "\x83" "A\x81[\x83N\x92\x86\x8A\xD4\x83o\x83" "b\x83t\x83@(arcsize)\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81["},  // アーク中間バッファ(arcsize)オーバーフロー
    {{64}, "\x83" "A\x81[\x83N\x8D\xC0\x95W\x83o\x83" "b\x83t\x83@(pxysize)\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81["},  // アーク座標バッファ(pxysize)オーバーフロー
    {{67}, "\x83|\x83\x8A\x83S\x83\x93\x83\x8A\x83i\x83\x93\x83o\x81[\x8F\x88\x97\x9D\x83G\x83\x89\x81["},  // ポリゴンリナンバー処理エラー
    {{71}, "\x92\x86\x8A\xD4\x83o\x83" "b\x83t\x83@\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81["},  // 中間バッファオーバーフロー
    {{91}, "\x83" "A\x81[\x83N\x83" "f\x81[\x83^\x82\xAA\x82\xC8\x82\xA2"},  // アークデータがない
    {{92}, "\x83|\x83\x8A\x83S\x83\x93\x83o\x83" "b\x83t\x83@\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81["},  // ポリゴンバッファオーバーフロー
    {{93}, "\x83|\x83\x8A\x83S\x83\x93\x97p\x8D\xC0\x95W\x83o\x83" "b\x83t\x83@\x83I\x81[\x83o\x81[\x83t\x83\x8D\x81["},  // ポリゴン用座標バッファオーバーフロー
    {{94, 95, 96}, "\x8F" "C\x95\x9C\x95s\x89\xC2\x94\x5C\x82\xC8\x83G\x83\x89\x81|\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD"},  // 修復不可能なエラ－が発生しました
    {{101}, "\x90\xAE\x90\x94\x82\xCC\x94\xCD\x88\xCD\x82\xF0\x92\xB4\x82\xA6\x82\xDC\x82\xB5\x82\xBD"},  // 整数の範囲を超えました
};

}  // namespace

using namespace ringweld;

extern "C" {

RW_API int32_t rw_start(int32_t linsize, int32_t arcsize, int32_t polsize, int32_t pxysize) {
    rw_end();
    session().configure(SessionSizes{linsize, arcsize, polsize, pxysize});
    return 0;
}

RW_API int32_t rw_end(void) {
    session().release();
    return 0;
}

RW_API int32_t rw_set_rdir(int32_t rdir) {
    library().direction = rdir == 0 ? 1 : 0;
    return 0;
}

RW_API int32_t rw_set_max_crossings(int32_t count) {
    library().max_crossings = count > 0 ? count : 0;
    return 0;
}

RW_API int32_t rw_get_errormsg(int32_t code, const char** out_text) {
    for (const ErrorText& e : kErrorTexts) {
        for (int32_t c : e.codes) {
            if (c == 0) break;
            if (c == code) {
                if (out_text) *out_text = e.text;
                return 0;
            }
        }
    }
    if (out_text) *out_text = "";
    return 1;
}

}  // extern "C"
