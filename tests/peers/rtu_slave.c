/* An independent ModBus RTU slave built on libmodbus, for checking our master engine.
 * Usage: rtu_slave DEVICE SLAVE_ID
 * Holding register r starts as r * 3 + 1; coils start with every third one set.
 * Answers functions 1, 3, 5, 6, 16 and 17 (libmodbus's own replies) until killed. */
#include <errno.h>
#include <modbus/modbus.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s DEVICE SLAVE_ID\n", argv[0]);
        return 2;
    }
    setvbuf(stdout, NULL, _IOLBF, 0);
    modbus_t* ctx = modbus_new_rtu(argv[1], 9600, 'N', 8, 1);
    if (!ctx)
        return 2;
    modbus_set_slave(ctx, atoi(argv[2]));
    modbus_mapping_t* map = modbus_mapping_new(400, 0, 400, 0);
    for (int r = 0; r < 400; ++r)
        map->tab_registers[r] = (uint16_t)(r * 3 + 1);
    for (int c = 0; c < 400; ++c)
        map->tab_bits[c] = (c % 3 == 0);
    if (modbus_connect(ctx) != 0) {
        fprintf(stderr, "connect: %s\n", modbus_strerror(errno));
        return 2;
    }
    printf("ready\n");
    fflush(stdout);
    if (getenv("PEER_DEBUG"))
        modbus_set_debug(ctx, TRUE);
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        int rc = modbus_receive(ctx, query);
        if (rc > 0)
            modbus_reply(ctx, query, rc, map);
        else if (rc == -1 && errno != EMBBADCRC && errno != ETIMEDOUT && errno != EMBBADDATA)
            break;
    }
    modbus_mapping_free(map);
    modbus_close(ctx);
    modbus_free(ctx);
    return 0;
}
